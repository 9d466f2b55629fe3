// QR decoding: the clip level that reads a code, the bounded text copy, the
// tuned level search against the plain one, and calls from several threads.
#include "glyphscan.h"
#include "qrscan.h"
#include "testimages.h"

#include <QtTest>

#include <zbar.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

using namespace testimages;

class TestQrDecode : public QObject {
    Q_OBJECT
private slots:
    void readsCode_data();
    void readsCode();
    void textCopyIsBounded_data();
    void textCopyIsBounded();
    void levelSearchKeepsResults();
    void callsFromSeveralThreads();
};

// Level 0: nothing read (the text stays empty).
void TestQrDecode::readsCode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("dark");
    QTest::addColumn<int>("light");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("text");
    const QByteArray job("JOB-0042/sheet.plt");
    QTest::newRow("dark on light") << job << 0 << 255 << false << 0 << 20 << job;
    QTest::newRow("dark on light, inverted") << job << 0 << 255 << false << 1 << 0 << QByteArray();
    QTest::newRow("light on dark") << job << 255 << 0 << false << 0 << 0 << QByteArray();
    QTest::newRow("light on dark, inverted") << job << 255 << 0 << false << 1 << 20 << job;
    // Modules of grey 30 vanish at clip 20 and are back at clip 40.
    QTest::newRow("grey 30 modules, rgb") << job << 30 << 255 << true << 0 << 40 << job;
    QTest::newRow("grey 110 modules") << job << 110 << 255 << false << 0 << 120 << job;
    QTest::newRow("zero byte cuts the text") << QByteArray("AB\0CD", 5) << 0 << 255 << false << 0
                                             << 20 << QByteArray("AB");
}

void TestQrDecode::readsCode()
{
    QFETCH(QByteArray, data);
    QFETCH(int, dark);
    QFETCH(int, light);
    QFETCH(bool, rgb);
    QFETCH(int, polarity);
    Frame f{uint8_t(light)};
    QVERIFY(qrCode(f, data.toStdString(), 320, 240, 6, uint8_t(dark), uint8_t(light)));
    if (rgb)
        f.toRgb();
    ScanRequest r = f.request(3, polarity);
    QTEST(glyphscan::decodeRequest(&r), "level");
    QTEST(QByteArray(f.text.c_str()), "text");
}

void TestQrDecode::textCopyIsBounded_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("zeroAt");
    QTest::addColumn<int>("expected");
    QTest::newRow("1023 bytes") << 1023 << -1 << 1023;
    QTest::newRow("1024 bytes") << 1024 << -1 << 1023;
    QTest::newRow("zero inside") << 4000 << 17 << 17;
    QTest::newRow("empty") << 0 << -1 << 0;
}

// Symbol data is not zero-terminated within its length.
void TestQrDecode::textCopyIsBounded()
{
    QFETCH(int, length);
    QFETCH(int, zeroAt);
    std::string data(size_t(length) + 16, 'Q');
    if (zeroAt >= 0)
        data[size_t(zeroAt)] = '\0';
    std::vector<char> text(glyphscan::kTextCapacity + 8, '#');
    glyphscan::copySymbolText(data.data(), size_t(length), text.data());
    QTEST(int(std::strlen(text.data())), "expected");
    QCOMPARE(text[size_t(glyphscan::kTextCapacity)], '#');
}

// The level search written plainly: each of the nine clip levels in turn,
// with a fresh scanner and image, every symbol's text copied in turn.
static int plainDecode(const uint8_t *half, char *text)
{
    using namespace zbar;
    std::vector<uint8_t> clip(glyphscan::kHalfPixels);
    for (int t = 20; t <= 180; t += 20) {
        for (size_t i = 0; i < clip.size(); ++i)
            clip[i] = half[i] > t ? 255 : half[i];
        zbar_image_scanner_t *scanner = zbar_image_scanner_create();
        zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 1);
        zbar_image_t *image = zbar_image_create();
        zbar_image_set_size(image, glyphscan::kHalfWidth, glyphscan::kHalfHeight);
        zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
        zbar_image_set_data(image, clip.data(), clip.size(), nullptr);
        const bool found = zbar_scan_image(scanner, image) > 0;
        for (auto s = zbar_image_first_symbol(image); found && s; s = zbar_symbol_next(s))
            glyphscan::copySymbolText(zbar_symbol_get_data(s),
                                      zbar_symbol_get_data_length(s), text);
        zbar_image_ref(image, -1);
        zbar_image_scanner_destroy(scanner);
        if (found)
            return t;
    }
    return 0;
}

// Codes of many greys (some read only at a high clip level, where the levels
// above read too), pairs of codes with texts of different lengths, noise and
// blank sheets: every way of searching the levels leaves the same bytes in
// the text buffer and names the same level as the plain search.
void TestQrDecode::levelSearchKeepsResults()
{
    std::mt19937 rng(77);
    const glyphscan::QrOptions ways[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    std::vector<uint8_t> half(glyphscan::kHalfPixels);
    int read = 0, readHigh = 0, pairs = 0;
    for (int i = 0; i < 32; ++i) {
        Frame f(uint8_t(200 + rng() % 56));
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
        for (auto &p : f.grey)
            p = uint8_t(std::clamp(int(p) + (i % 3 ? 0 : int(rng() % 61) - 30), 0, 255));
        ScanRequest r = f.request();
        QVERIFY(glyphscan::prepareHalfImage(&r, half.data()) == glyphscan::Prep::Ready);
        std::vector<char> expected(glyphscan::kTextCapacity, '#');
        const int level = plainDecode(half.data(), expected.data());
        for (const auto &way : ways) {
            std::vector<char> text(glyphscan::kTextCapacity, '#');
            QCOMPARE(glyphscan::decodeHalfImage(half.data(), text.data(), way), level);
            QVERIFY(text == expected);
        }
        read += level > 0;
        readHigh += level > 40;
        pairs += level > 0 && expected[0] == 'R';
    }
    // The frames reach the cases that matter: several codes read, some only
    // at a high level, and a pair where the short text lands on the long one.
    QVERIFY2(read >= 16 && readHigh >= 8 && pairs >= 3,
             qPrintable(QString("%1 %2 %3").arg(read).arg(readHigh).arg(pairs)));
}

// Nothing is shared between calls: three threads decoding three codes
// through the export each read their own.
void TestQrDecode::callsFromSeveralThreads()
{
    const std::string names[3] = {"FIRST", "SECOND-CODE", "THIRD/3"};
    std::vector<Frame> frames(3);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int i = 0; i < 3; ++i) {
        qrCode(frames[size_t(i)], names[i], 250 + 60 * i, 240, 5, uint8_t(30 * i), 255);
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round) {
                char buffer[1024] = {};
                ScanRequest r = frames[size_t(i)].request();
                r.text = buffer;
                qr_decode(&r);
                wrong += names[i] != buffer;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    QCOMPARE(wrong.load(), 0);
}

QTEST_GUILESS_MAIN(TestQrDecode)
#include "tst_qrdecode.moc"
