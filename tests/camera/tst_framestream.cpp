// The camera stream's frame assembler: markers across reads, dropped frames,
// the size cap and resynchronisation.
#include "framestream.h"

#include <QtTest>

using Chunks = QList<QByteArray>;
Q_DECLARE_METATYPE(Chunks)

class TestFrameStream : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void oversizeFrameIsDroppedAndStreamResynchronises();
    void bufferStaysBoundedWithoutEndMarker();
};

static const QByteArray jpegA = QByteArray("\xFF\xD8\xFF\xE0", 4) + "picture A";
static const QByteArray jpegB = QByteArray("\xFF\xD8\xFF\xDB", 4) + "picture B with J_S= inside";

static QByteArray framed(const QByteArray &data)
{
    return "J_S=" + data + "J_E;";
}

static QList<QByteArray> feedAll(FrameStream &stream, const Chunks &chunks)
{
    QList<QByteArray> frames;
    for (const QByteArray &chunk : chunks)
        stream.feed(chunk, [&frames](const QByteArray &jpeg) { frames.append(jpeg); });
    return frames;
}

void TestFrameStream::frames_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray a = framed(jpegA);
    QTest::newRow("one frame, one read") << Chunks{a} << QList<QByteArray>{jpegA};
    QTest::newRow("bytes around frames ignored")
        << Chunks{"noise" + a + "\xFF\xD8" + framed(jpegB) + "tail"} << QList<QByteArray>{jpegA, jpegB};
    QTest::newRow("start marker split over two reads")
        << Chunks{"xxJ_", "S=" + jpegA + "J_E;"} << QList<QByteArray>{jpegA};
    QTest::newRow("end marker split over two reads")
        << Chunks{"J_S=" + jpegA + "J_", "E;"} << QList<QByteArray>{jpegA};
    QTest::newRow("one byte per read")
        << [&a] { Chunks c; for (char b : a) c.append(QByteArray(1, b)); return c; }()
        << QList<QByteArray>{jpegA};
    QTest::newRow("JJ_S= does not start a frame")
        << Chunks{"JJ_S=" + jpegA + "J_E;"} << QList<QByteArray>{};
    QTest::newRow("JJ_S= does not start a frame, split")
        << Chunks{"J", "J_S=" + jpegA + "J_E;" + a} << QList<QByteArray>{jpegA};
    QTest::newRow("frame not starting FF D8 FF dropped")
        << Chunks{framed("\xFF\xD8 not a jpeg"), a} << QList<QByteArray>{jpegA};
    QTest::newRow("empty frame dropped") << Chunks{"J_S=J_E;", a} << QList<QByteArray>{jpegA};
    QTest::newRow("start marker inside a frame is data")
        << Chunks{framed(jpegB)} << QList<QByteArray>{jpegB};
    QTest::newRow("end marker broken by a second J is data")
        << Chunks{"J_S=" + jpegA + "JJ_E;J_E;"} << QList<QByteArray>{jpegA + "JJ_E;"};
    QTest::newRow("frame without end yet") << Chunks{"J_S=" + jpegA} << QList<QByteArray>{};
}

void TestFrameStream::frames()
{
    QFETCH(Chunks, chunks);
    QFETCH(QList<QByteArray>, expected);
    FrameStream stream;
    QCOMPARE(feedAll(stream, chunks), expected);
}

void TestFrameStream::oversizeFrameIsDroppedAndStreamResynchronises()
{
    // A frame of exactly the cap still passes; one byte more is dropped.
    const QByteArray atCap = jpegA + QByteArray(FrameStream::kMaxFrameBytes - jpegA.size(), 'x');
    FrameStream stream;
    QList<QByteArray> frames = feedAll(stream, {framed(atCap)});
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().size(), FrameStream::kMaxFrameBytes);
    QCOMPARE(stream.oversizeDrops(), 0);

    // The tail of the dropped frame (its end marker included) is outside any
    // frame and ignored; the next start marker begins the next frame.
    frames = feedAll(stream, {"J_S=" + atCap + "y", "more of the lost frameJ_E;", framed(jpegB)});
    QCOMPARE(stream.oversizeDrops(), 1);
    QCOMPARE(frames, QList<QByteArray>{jpegB});
    QVERIFY(!stream.inFrame);
    QVERIFY(stream.frameBuffer.isEmpty());
}

void TestFrameStream::bufferStaysBoundedWithoutEndMarker()
{
    FrameStream stream;
    const QByteArray chunk(256 * 1024, 'z');
    stream.feed("J_S=" + jpegA, [](const QByteArray &) {});
    int drops = 0;
    for (int i = 0; i < 40; ++i) { // 10 MiB that never ends the frame
        stream.feed(chunk, [](const QByteArray &) {});
        QVERIFY(stream.frameBuffer.size() <= FrameStream::kMaxFrameBytes);
        drops = stream.oversizeDrops();
    }
    QCOMPARE(drops, 1); // after the drop the stream waits for a start marker
    QVERIFY(!stream.inFrame);
}

QTEST_APPLESS_MAIN(TestFrameStream)
#include "tst_framestream.moc"
