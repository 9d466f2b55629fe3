// QR decoding: the clip level that reads a code, the bounded text copy, the
// tuned level search against the plain one, and calls from several threads.
#include "glyphscan.h"
#include "qrscan.h"
#include "testimages.h"

#include <QtTest>

#include <zbar.h>

#include <array>
#include <cstring>
#include <future>
#include <random>

using namespace testimages;
Q_DECLARE_METATYPE(testimages::Frame)

class TestQrDecode : public QObject {
    Q_OBJECT
private slots:
    void readsCode_data();
    void readsCode();
    void textCopyIsBounded();
    void levelSearchKeepsResults();
    void callsFromSeveralThreads();
};

// Level 0: nothing read (the text stays empty).
void TestQrDecode::readsCode_data()
{
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("text");
    const std::string job("JOB-0042/sheet.plt");
    const Frame dark = Frame().qr(job, 320, 240, 6, 0, 255);
    const Frame light = Frame(0).qr(job, 320, 240, 6, 255, 0);
    QTest::newRow("dark on light") << dark << 0 << 20 << QByteArray(job.c_str());
    QTest::newRow("dark on light, inverted") << dark << 1 << 0 << QByteArray();
    QTest::newRow("light on dark") << light << 0 << 0 << QByteArray();
    QTest::newRow("light on dark, inverted") << light << 1 << 20 << QByteArray(job.c_str());
    // Modules of grey 30 vanish at clip 20 and are back at clip 40.
    QTest::newRow("grey 30 modules") << Frame().qr(job, 320, 240, 6, 30, 255) << 0 << 40
                                     << QByteArray(job.c_str());
    // (306 R + 601 G + 117 B) >> 10: blue modules are grey 29, red ones 76.
    QTest::newRow("blue modules, rgb") << Frame().qr(job, 320, 240, 6, 0, 255).rgb(true) << 0 << 40
                                       << QByteArray(job.c_str());
    QTest::newRow("zero byte cuts the text")
        << Frame().qr(std::string("AB\0CD", 5), 320, 240, 6, 0, 255) << 0 << 20
        << QByteArray("AB");
}

void TestQrDecode::readsCode()
{
    QFETCH(Frame, frame);
    QFETCH(int, polarity);
    ScanRequest r = frame.request(3, polarity);
    QTEST(glyphscan::decodeRequest(&r), "level");
    QTEST(QByteArray(frame.text.c_str()), "text");
}

// At most 1023 bytes and the terminating zero, cut at a zero byte; symbol
// data is not zero-terminated within its length.
void TestQrDecode::textCopyIsBounded()
{
    // {length, zero byte at, bytes copied}
    for (const auto &[length, zeroAt, copied] :
         {std::array<int, 3>{1023, -1, 1023}, {1024, -1, 1023}, {4000, 17, 17}, {0, -1, 0}}) {
        std::string data(size_t(length) + 16, 'Q');
        if (zeroAt >= 0)
            data[size_t(zeroAt)] = '\0';
        std::vector<char> text(glyphscan::kTextCapacity + 8, '#');
        glyphscan::copySymbolText(data.data(), size_t(length), text.data());
        QCOMPARE(int(std::strlen(text.data())), copied);
        QCOMPARE(text[size_t(glyphscan::kTextCapacity)], '#');
    }
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
    // Skipping known levels on or off; one thread, one per core, or one per
    // level (more threads than cores: the order of finishing varies most).
    const glyphscan::QrOptions ways[] = {{true, true}, {true, false}, {false, true},
                                         {false, false}, {true, true, 9}, {false, true, 9}};
    std::vector<uint8_t> half(glyphscan::kHalfPixels);
    int read = 0, readHigh = 0, pairs = 0;
    for (int i = 0; i < 32; ++i) {
        Frame f(uint8_t(200 + rng() % 56));
        const auto dark = [&] { return uint8_t(rng() % 190); };
        const auto light = [&] { return uint8_t(200 + rng() % 56); };
        if (i % 4 == 1) {
            const uint8_t d = dark();
            f.qr("LEFT-CODE-WITH-A-LONGER-TEXT-" + std::to_string(i), 170, 240, 4, d, light());
            f.qr("R" + std::to_string(i), 470, 240, 5, d, light());
        } else if (i % 4 != 3) {
            f.qr("CODE-" + std::to_string(i), int(200 + rng() % 240), int(160 + rng() % 160),
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

// Nothing is shared between calls: threads decoding different codes through
// the export each read their own, every time.
void TestQrDecode::callsFromSeveralThreads()
{
    std::vector<std::future<std::string>> results;
    for (int i = 0; i < 3; ++i)
        results.push_back(std::async(std::launch::async, [i] {
            Frame f = Frame().qr("CODE/" + std::to_string(i), 250 + 60 * i, 240, 5, 30 * i, 255);
            std::string texts;
            for (int round = 0; round < 5; ++round) {
                f.text.assign(1024, '\0');
                ScanRequest r = f.request();
                qr_decode(&r);
                texts += f.text.c_str() + std::string(" ");
            }
            return texts;
        }));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(results[size_t(i)].get(), QString("CODE/%1 ").arg(i).repeated(5).toStdString());
}

QTEST_GUILESS_MAIN(TestQrDecode)
#include "tst_qrdecode.moc"
