// QR decoding through the qr_decode export and the internal level search.
#include "glyphscan.h"
#include "qrscan.h"
#include "referencedecode.h"
#include "stdoutcapture.h"
#include "testimages.h"

#include <QtTest>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

using namespace testimages;

class TestQrDecode : public QObject {
    Q_OBJECT
private slots:
    void readsCode_data();
    void readsCode();
    void twoCodesGiveOneOfThem();
    void nothingFoundLeavesText();
    void refusedRecords_data();
    void refusedRecords();
    void textCopyIsBounded_data();
    void textCopyIsBounded();
    void levelSearchKeepsResults();
    void callsFromSeveralThreads();
};

void TestQrDecode::readsCode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("dark");
    QTest::addColumn<int>("light");
    QTest::addColumn<int>("ground");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("text");
    const QByteArray job("JOB-0042/sheet.plt");
    QTest::newRow("dark on light") << job << 0 << 255 << 255 << false << 0 << 20 << job;
    QTest::newRow("dark on light, rgb") << job << 0 << 255 << 255 << true << 0 << 20 << job;
    QTest::newRow("dark on light, inverted") << job << 0 << 255 << 255 << false << 1 << 0 << QByteArray();
    QTest::newRow("light on dark") << job << 255 << 0 << 0 << false << 0 << 0 << QByteArray();
    QTest::newRow("light on dark, inverted") << job << 255 << 0 << 0 << false << 1 << 20 << job;
    // Modules of grey 30 vanish at clip 20 and are back at clip 40.
    QTest::newRow("grey 30 modules") << job << 30 << 255 << 255 << false << 0 << 40 << job;
    QTest::newRow("grey 30 modules, rgb") << job << 30 << 255 << 255 << true << 0 << 40 << job;
    QTest::newRow("grey 110 modules") << job << 110 << 255 << 255 << false << 0 << 120 << job;
    QTest::newRow("zero byte cuts the text") << QByteArray("AB\0CD", 5) << 0 << 255 << 255 << false << 0
                                             << 20 << QByteArray("AB");
    QTest::newRow("zero byte first") << QByteArray("\0XYZ", 4) << 0 << 255 << 255 << false << 0
                                     << 20 << QByteArray();
}

void TestQrDecode::readsCode()
{
    QFETCH(QByteArray, data);
    QFETCH(int, dark);
    QFETCH(int, light);
    QFETCH(int, ground);
    QFETCH(bool, rgb);
    QFETCH(int, polarity);
    QFETCH(int, level);
    QFETCH(QByteArray, text);
    Frame f{uint8_t(ground)};
    QVERIFY(qrCode(f, data.toStdString(), 320, 240, 6, uint8_t(dark), uint8_t(light)));
    if (rgb)
        f.toRgb();
    ScanRequest r = f.request(3, polarity);
    QCOMPARE(glyphscan::decodeRequest(&r), level);
    QCOMPARE(QByteArray(f.text.c_str()), text);

    // The export gives the same text and leaves the mark fields alone.
    Frame g{uint8_t(ground)};
    qrCode(g, data.toStdString(), 320, 240, 6, uint8_t(dark), uint8_t(light));
    ScanRequest e = g.request(3, polarity);
    e.outX = 77;
    e.outRadius = 7.5f;
    qr_decode(&e);
    QCOMPARE(QByteArray(g.text.c_str()), text);
    QCOMPARE(e.outX, 77);
    QCOMPARE(e.outRadius, 7.5f);
}

void TestQrDecode::twoCodesGiveOneOfThem()
{
    Frame f;
    qrCode(f, "LEFT", 170, 240, 5, 0, 255);
    qrCode(f, "RIGHT", 470, 240, 5, 0, 255);
    ScanRequest r = f.request();
    qr_decode(&r);
    const QByteArray got(f.text.c_str());
    QVERIFY2(got == "LEFT" || got == "RIGHT", got.constData());
}

void TestQrDecode::nothingFoundLeavesText()
{
    Frame f;
    disc(f, 320, 240, 100, 0);
    std::memcpy(&f.text[0], "before", 7);
    ScanRequest r = f.request();
    const std::string out = captureStdout([&] { qr_decode(&r); });
    QCOMPARE(out, std::string());
    QCOMPARE(QByteArray(f.text.c_str()), QByteArray("before"));
}

void TestQrDecode::refusedRecords_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<bool>("nullData");
    QTest::addColumn<bool>("nullText");
    QTest::addColumn<QString>("message");
    QTest::newRow("320 x 240") << 320 << 240 << 0 << false << false << "illegal image size\n";
    QTest::newRow("640 x 479") << 640 << 479 << 1 << false << false << "illegal image size\n";
    QTest::newRow("null data") << 640 << 480 << 0 << true << false << "null image data\n";
    QTest::newRow("null text") << 640 << 480 << 0 << false << true << "null text buffer\n";
    QTest::newRow("data type 3") << 640 << 480 << 3 << false << false << "unsupport data type\n";
}

void TestQrDecode::refusedRecords()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dataType);
    QFETCH(bool, nullData);
    QFETCH(bool, nullText);
    QFETCH(QString, message);
    // Exactly the claimed size, holding a readable code where it can.
    std::vector<uint8_t> pixels(size_t(width) * height * (dataType == 1 ? 3 : 1), 255);
    Frame f;
    qrCode(f, "MUST NOT BE READ", 320, 240, 6, 0, 255);
    std::memcpy(pixels.data(), f.grey.data(), std::min(pixels.size(), f.grey.size()));
    char text[16] = "keep";
    ScanRequest r{};
    r.data = nullData ? nullptr : pixels.data();
    r.width = width;
    r.height = height;
    r.dataType = dataType;
    r.text = nullText ? nullptr : text;
    const std::string out = captureStdout([&] { qr_decode(&r); });
    QCOMPARE(QString::fromStdString(out), message);
    QCOMPARE(QByteArray(text), QByteArray("keep"));
    QCOMPARE(captureStdout([] { qr_decode(nullptr); }), std::string("null request\n"));
}

void TestQrDecode::textCopyIsBounded_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("zeroAt");
    QTest::addColumn<int>("expected");
    QTest::newRow("short") << 10 << -1 << 10;
    QTest::newRow("1023 bytes") << 1023 << -1 << 1023;
    QTest::newRow("1024 bytes") << 1024 << -1 << 1023;
    QTest::newRow("4000 bytes") << 4000 << -1 << 1023;
    QTest::newRow("zero inside") << 4000 << 17 << 17;
    QTest::newRow("empty") << 0 << -1 << 0;
}

void TestQrDecode::textCopyIsBounded()
{
    QFETCH(int, length);
    QFETCH(int, zeroAt);
    QFETCH(int, expected);
    // Symbol data is not zero-terminated within its length.
    std::string data(size_t(length) + 16, 'Q');
    if (zeroAt >= 0)
        data[size_t(zeroAt)] = '\0';
    std::vector<char> text(glyphscan::kTextCapacity + 8, '#');
    glyphscan::copySymbolText(data.data(), size_t(length), text.data());
    QCOMPARE(int(std::strlen(text.data())), expected);
    QCOMPARE(text[size_t(glyphscan::kTextCapacity)], '#');
}

// Codes of many greys (some read only at a high clip level, where the levels
// above read too), pairs of codes with texts of different lengths, noise and
// blank sheets.
static std::vector<Frame> levelSearchFrames()
{
    std::mt19937 rng(77);
    std::vector<Frame> frames;
    for (int i = 0; i < 32; ++i) {
        Frame &f = frames.emplace_back(uint8_t(200 + rng() % 56));
        const auto dark = [&] { return uint8_t(rng() % 190); };
        const auto light = [&] { return uint8_t(200 + rng() % 56); };
        if (i % 4 == 1) {
            const uint8_t d = dark();
            qrCode(f, "LEFT-CODE-WITH-A-LONGER-TEXT-" + std::to_string(i), 170, 240, 4, d, light());
            qrCode(f, "R" + std::to_string(i), 470, 240, 5, d, light());
        } else if (i % 4 != 3) {
            qrCode(f, "CODE-" + std::to_string(i), int(200 + rng() % 240), int(160 + rng() % 160),
                   int(4 + rng() % 4), dark(), light());
        }
        if (i % 3 == 0)
            for (auto &p : f.grey)
                p = uint8_t(std::clamp(int(p) + int(rng() % 61) - 30, 0, 255));
    }
    return frames;
}

void TestQrDecode::levelSearchKeepsResults()
{
    // Every way of searching the levels leaves the same bytes in the text
    // buffer (not only the same string) and names the same level as the
    // plain one-level-after-another search.
    const glyphscan::QrOptions ways[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    std::vector<uint8_t> half(glyphscan::kHalfPixels);
    int read = 0, readHigh = 0, pairs = 0;
    for (Frame &f : levelSearchFrames()) {
        ScanRequest r = f.request();
        QVERIFY(glyphscan::prepareHalfImage(&r, half.data()) == glyphscan::Prep::Ready);
        std::vector<char> expected(glyphscan::kTextCapacity, '#');
        const int level = reference::decodeHalfImage(half.data(), expected.data());
        for (const auto &way : ways) {
            std::vector<char> text(glyphscan::kTextCapacity, '#');
            QCOMPARE(glyphscan::decodeHalfImage(half.data(), text.data(), way), level);
            QVERIFY(text == expected);
        }
        read += level > 0;
        readHigh += level > 40;
        pairs += level > 0 && QByteArray(expected.data()).startsWith('R');
    }
    // The frames reach the cases that matter: several codes read, some only
    // at a high level, and a pair where the short text lands on the long one.
    QVERIFY2(read >= 16 && readHigh >= 8 && pairs >= 3,
             qPrintable(QString("%1 %2 %3").arg(read).arg(readHigh).arg(pairs)));
}

void TestQrDecode::callsFromSeveralThreads()
{
    const char *names[3] = {"FIRST", "SECOND-CODE", "THIRD/3"};
    std::vector<Frame> frames(3);
    for (int i = 0; i < 3; ++i)
        qrCode(frames[size_t(i)], names[i], 250 + 60 * i, 240, 5, uint8_t(30 * i), 255);
    QByteArray got[3][5];
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&, i] {
            for (auto &text : got[i]) {
                char buffer[1024] = {};
                ScanRequest r = frames[size_t(i)].request();
                r.text = buffer;
                qr_decode(&r);
                text = buffer;
            }
        });
    for (auto &t : threads)
        t.join();
    for (int i = 0; i < 3; ++i)
        for (const auto &text : got[i])
            QCOMPARE(text, QByteArray(names[i]));
}

QTEST_GUILESS_MAIN(TestQrDecode)
#include "tst_qrdecode.moc"
