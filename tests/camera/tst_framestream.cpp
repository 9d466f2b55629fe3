// The camera stream's frame assembler: markers across reads, dropped frames,
// the size cap and resynchronisation.
#include "framestream.h"

#include <QtTest>

using Chunks = QList<QByteArray>;

class TestFrameStream : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void oversizeFrameIsDroppedAndStreamResynchronises();
};

static const QByteArray jpegA = QByteArray("\xFF\xD8\xFF\xE0", 4) + "picture A";
static const QByteArray jpegB = QByteArray("\xFF\xD8\xFF\xDB", 4) + "picture B with J_S= inside";

static QByteArray framed(const QByteArray &data)
{
    return "J_S=" + data + "J_E;";
}

static Chunks feedAll(FrameStream &stream, const Chunks &chunks)
{
    Chunks frames;
    for (const QByteArray &chunk : chunks)
        stream.feed(chunk, [&frames](const QByteArray &jpeg) { frames.append(jpeg); });
    return frames;
}

void TestFrameStream::frames_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Chunks>("expected");
    const QByteArray a = framed(jpegA);
    QTest::newRow("bytes around frames ignored, start marker inside is data")
        << Chunks{"noise" + a + "\xFF\xD8" + framed(jpegB) + "tail"} << Chunks{jpegA, jpegB};
    Chunks bytes;
    for (char b : a)
        bytes.append(QByteArray(1, b));
    QTest::newRow("one byte per read: markers split") << bytes << Chunks{jpegA};
    QTest::newRow("JJ_S= no start") << Chunks{"JJ_S=" + jpegA + "J_E;" + a} << Chunks{jpegA};
    QTest::newRow("not a JPEG: dropped") << Chunks{framed("\xFF\xD8 no"), a} << Chunks{jpegA};
    QTest::newRow("end marker broken by a second J is data")
        << Chunks{"J_S=" + jpegA + "JJ_E;J_E;"} << Chunks{jpegA + "JJ_E;"};
}

void TestFrameStream::frames()
{
    QFETCH(Chunks, chunks);
    FrameStream stream;
    QTEST(feedAll(stream, chunks), "expected");
}

void TestFrameStream::oversizeFrameIsDroppedAndStreamResynchronises()
{
    // A frame of exactly the cap still passes; one byte more is dropped.
    const QByteArray atCap = jpegA + QByteArray(FrameStream::kMaxFrameBytes - jpegA.size(), 'x');
    FrameStream stream;
    QCOMPARE(feedAll(stream, {framed(atCap)}), Chunks{atCap});
    QCOMPARE(stream.oversizeDrops(), 0);

    // The tail of the dropped frame (its end marker included) is outside any
    // frame and ignored; the next start marker begins the next frame.
    const Chunks frames = feedAll(stream, {"J_S=" + atCap + "y", "lost tailJ_E;", framed(jpegB)});
    QCOMPARE(stream.oversizeDrops(), 1);
    QCOMPARE(frames, Chunks{jpegB});
}

QTEST_APPLESS_MAIN(TestFrameStream)
#include "tst_framestream.moc"
