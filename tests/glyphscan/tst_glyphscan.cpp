// The glyphscan library: the mark search through the mr_interface export,
// the refused records of both exports, and the tuned search against the
// plain reference; QR decoding (the clip level that reads a code, the
// bounded text copy, the tuned level search against the plain one, calls
// from several threads); and the shared library's dynamic symbol table and
// dependencies (the program links it by the two plain names only, and it
// must load without Qt).
#include "glyphscan.h"
#include "marksearch.h"
#include "qrscan.h"
#include "referencesearch.h"

#include <QtTest>

#include <qrencode.h>
#include <unistd.h>
#include <zbar.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <vector>

// Collects what a piece of code prints to standard output (the library's
// diagnostics go there through printf).
static std::string captureStdout(const std::function<void()> &run)
{
    std::fflush(stdout);
    FILE *sink = std::tmpfile();
    const int saved = dup(fileno(stdout));
    dup2(fileno(sink), fileno(stdout));
    run();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    std::string out(4096, '\0');
    std::rewind(sink);
    out.resize(std::fread(&out[0], 1, out.size(), sink));
    std::fclose(sink);
    return out;
}

// Camera frames drawn in code for the glyphscan tests: 640 x 480, grey or
// RGB, with discs, rings, blocks, diamonds and QR codes on a plain ground.
// The drawing calls chain: Frame().disc(320, 240, 100, 0).rgb().
constexpr int kWidth = 640, kHeight = 480;

struct Frame {
    std::vector<uint8_t> grey, rgbData; // rgbData: filled by rgb()
    std::string text = std::string(1024, '\0');

    explicit Frame(uint8_t ground = 255) : grey(kWidth * kHeight, ground) {}

    // A request for this frame (dataType 1 once rgb() ran, else 0).
    ScanRequest request(int shape = 3, int polarity = 0, float size = 5.0f)
    {
        const std::vector<uint8_t> &pixels = rgbData.empty() ? grey : rgbData;
        return {pixels.data(), kWidth, kHeight, int32_t(pixels.size()), int32_t(!rgbData.empty()),
                shape, polarity, size, 0, 0, 0, 0, 0, &text[0]};
    }
    // The same picture as R = G = B, whose grey is the original value again;
    // with blueInk B is 255, so black becomes pure blue (grey 29).
    Frame &rgb(bool blueInk = false)
    {
        for (uint8_t v : grey)
            rgbData.insert(rgbData.end(), {v, v, blueInk ? uint8_t(255) : v});
        return *this;
    }
    void set(int x, int y, uint8_t v)
    {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            grey[size_t(y * kWidth + x)] = v;
    }
    // A ring of the given outer diameter and thickness (a disc when it is as
    // thick as the diameter), stretched by `aspect` horizontally, with an
    // open sector of `gap` degrees centred on its right-hand side.
    Frame &ring(double cx, double cy, double diameter, double thickness, uint8_t v, double gap = 0,
                double aspect = 1)
    {
        const double outer = diameter / 2, inner = outer - thickness;
        for (int y = int(cy - outer) - 1; y <= int(cy + outer) + 1; ++y)
            for (int x = int(cx - outer * aspect) - 1; x <= int(cx + outer * aspect) + 1; ++x) {
                const double d = std::hypot((x + 0.5 - cx) / aspect, y + 0.5 - cy);
                const double angle = std::abs(std::atan2(y + 0.5 - cy, x + 0.5 - cx)) * 180 / M_PI;
                if (d <= outer && d >= inner && angle >= gap / 2)
                    set(x, y, v);
            }
        return *this;
    }
    Frame &disc(double cx, double cy, double diameter, uint8_t v) { return ring(cx, cy, diameter, diameter, v); }
    Frame &block(int x, int y, int w, int h, uint8_t v)
    {
        for (int i = 0; i < w * h; ++i)
            set(x + i % w, y + i / w, v);
        return *this;
    }
    Frame &diamond(int cx, int cy, int halfDiagonal, uint8_t v)
    {
        for (int y = cy - halfDiagonal; y <= cy + halfDiagonal; ++y)
            for (int x = cx - halfDiagonal; x <= cx + halfDiagonal; ++x)
                if (std::abs(x - cx) + std::abs(y - cy) <= halfDiagonal)
                    set(x, y, v);
        return *this;
    }
    // A QR code of the given bytes (8-bit mode, libqrencode), modules of
    // `module` pixels, centred at (cx, cy), with a four-module quiet zone of
    // colour `light`.
    Frame &qr(const std::string &data, int cx, int cy, int module, uint8_t dark, uint8_t light)
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(data.data());
        QRcode *code = QRcode_encodeData(int(data.size()), bytes, 0, QR_ECLEVEL_M);
        const int n = code->width, side = (n + 8) * module;
        block(cx - side / 2, cy - side / 2, side, side, light);
        for (int i = 0; i < n * n; ++i)
            if (code->data[i] & 1)
                block(cx - side / 2 + (i % n + 4) * module, cy - side / 2 + (i / n + 4) * module,
                      module, module, dark);
        QRcode_free(code);
        return *this;
    }
};
Q_DECLARE_METATYPE(Frame)

class TestGlyphscan : public QObject {
    Q_OBJECT
private slots:
    void findsMark_data();
    void findsMark();
    void refusedRecords_data();
    void refusedRecords();
    void fastSearchMatchesReference();
    void thresholdAtExactlyTheMean();
    void readsCode_data();
    void readsCode();
    void textCopyIsBounded();
    void levelSearchKeepsResults();
    void callsFromSeveralThreads();
    void exportsTwoPlainNamesNeedsNoQt();
};

// Sizes in full-resolution pixels; (1, 1) is where no mark is reported.
void TestGlyphscan::findsMark_data()
{
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<float>("size");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("printed");
    const Frame black = Frame().disc(320, 240, 100, 0), white = Frame(0).disc(320, 240, 100, 255);
    const QPoint none(1, 1);
    const auto row = [](const char *name, const Frame &frame, int shape, QPoint at, float size = 5.0f,
                        int polarity = 0, const QString &printed = QString()) {
        QTest::newRow(name) << frame << shape << polarity << size << at << printed;
    };
    row("all white", Frame(), 3, none);
    row("black disc (rgb)", Frame(black).rgb(), 3, {320, 240});
    row("white disc inverted", white, 3, {320, 240}, 5.0f, 1);
    row("white disc plain", white, 3, none);
    row("polarity 2 is dark on light", black, 3, {320, 240}, 5.0f, 2);
    row("ring, circle test", Frame().ring(200, 300, 120, 20, 20), 3, {200, 300}, 6.0f);
    // Open rings at the circle test's limit: 10 misses pass, 11 do not.
    row("ring open 14 degrees", Frame().ring(320, 240, 110, 16, 0, 14), 3, {320, 240});
    row("ring open 16 degrees", Frame().ring(320, 240, 110, 16, 0, 16), 3, none);
    row("diamond, disc test", Frame().diamond(320, 240, 70, 0), 2, {320, 240}, 6.5f);
    row("oblong block", Frame().block(300, 200, 96, 78, 0), 1, {348, 238});
    // Limits the generated scenes never reach: width over height 51/47 and
    // 43/47 pass the squareness test, 52/47 does not (narrower rings fail the
    // circle test first); an oblong of area 1504 passes, one of 1469 does not.
    row("ring stretched 1.09", Frame().ring(320, 240, 100, 16, 0, 0, 1.09), 3, {320, 240});
    row("ring stretched 1.10", Frame().ring(320, 240, 100, 16, 0, 0, 1.10), 3, none);
    row("ring stretched 0.92", Frame().ring(320, 240, 100, 16, 0, 0, 0.92), 3, {320, 240});
    // A plus passes the solid-disc test's empty corners; a hole of 3 x 3 pixels
    // at its centre leaves 59 of the 64 centre pixels set, one of 4 x 4 leaves
    // 52 (more than 53 are needed).
    const Frame plus = Frame().block(260, 220, 120, 40, 0).block(300, 180, 40, 120, 0);
    row("plus, 3 px hole", Frame(plus).block(319, 239, 3, 3, 255), 2, {320, 240}, 6.0f);
    row("plus, 4 px hole", Frame(plus).block(318, 238, 4, 4, 255), 2, none, 6.0f);
    row("oblong area 1504", Frame().block(300, 200, 94, 78, 0), 1, {346, 238});
    row("oblong area 1469", Frame().block(300, 200, 92, 78, 0), 1, none);
    // 24 x 25 and 25 x 25 half pixels after clean-up: area 599 and 624.
    row("area 599 never reported", Frame().block(100, 100, 56, 58, 0), 3, none, 2.5f);
    row("area 624 reported", Frame().block(100, 100, 58, 58, 0), 3, {128, 128}, 2.5f);
    // Of two marks the later in row-major order of their first pixels wins.
    row("two marks: lower one", Frame().disc(440, 330, 100, 0).disc(200, 150, 100, 0), 3, {440, 330});
    row("two marks: right one, 6 px higher, loses", Frame().disc(450, 234, 100, 0).disc(150, 240, 100, 0), 3,
        {150, 240});
    // The 40 x 40 block makes a region under 600 pixels.
    row("no shape 7: one line per region of 600 or more",
        Frame().disc(200, 240, 100, 0).disc(440, 240, 100, 0).block(50, 50, 40, 40, 0), 7, none, 5.0f, 0,
        "illegal mark type\nillegal mark type\n");
}

void TestGlyphscan::findsMark()
{
    QFETCH(Frame, frame);
    QFETCH(int, shape);
    QFETCH(int, polarity);
    QFETCH(float, size);
    QFETCH(QPoint, at);
    ScanRequest r = frame.request(shape, polarity, size);
    r.outX = r.outY = -7;
    const std::string printed = captureStdout([&] { QCOMPARE(mr_interface(&r), 0); });
    QTEST(QString::fromStdString(printed), "printed");
    QVERIFY2(std::abs(r.outX - at.x()) <= 4 && std::abs(r.outY - at.y()) <= 4,
             qPrintable(QString("at %1, %2").arg(r.outX).arg(r.outY)));
    // Half-resolution centre c, width w, height h reach the caller as
    // trunc(c * k + 1), w * k + 1.5, h * k + 1.5 and radius (w + h) / 4 as
    // radius * k + 3, with k = 1.9999938 in single precision; all 0 when
    // nothing was found.
    const float k = 1.9999938f, w = std::round((r.outWidth - 1.5f) / 2);
    const float h = std::round((r.outHeight - 1.5f) / 2);
    QCOMPARE(r.outX, int(float(r.outX / 2) * k + 1.0f));
    QCOMPARE(r.outY, int(float(r.outY / 2) * k + 1.0f));
    QCOMPARE(r.outWidth, float(double(w * k) + 1.5));
    QCOMPARE(r.outHeight, float(double(h * k) + 1.5));
    QCOMPARE(r.outRadius, float(int(w + h) / 4) * k + 3.0f);
    if (at == QPoint(1, 1))
        QVERIFY(w == 0 && h == 0);
}

// Records either export must refuse without reading the pixels: a disc and a
// QR code that are found and read in a proper record stay unseen.
void TestGlyphscan::refusedRecords_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("message"); // "null ...": that pointer is null
    const QString size = "illegal image size\n";
    QTest::newRow("320 x 240") << QSize(320, 240) << 1 << size;
    QTest::newRow("640 x 479") << QSize(640, 479) << 0 << size;
    QTest::newRow("negative") << QSize(-640, -480) << 0 << size;
    QTest::newRow("null data") << QSize(640, 480) << 1 << "null image data\n";
    QTest::newRow("null text") << QSize(640, 480) << 0 << "null text buffer\n";
    QTest::newRow("data type 2") << QSize(640, 480) << 2 << "unsupport data type\n";
}

void TestGlyphscan::refusedRecords()
{
    QFETCH(QSize, size);
    QFETCH(int, dataType);
    QFETCH(QString, message);
    const bool nullData = message.startsWith("null image"), nullText = message.startsWith("null text");
    // Exactly as many bytes as the record claims (at least one): a read past
    // them shows up in the sanitizer build.
    const long bytes = std::max(1L, long(size.width()) * size.height() * (dataType == 1 ? 3 : 1));
    std::vector<uint8_t> pixels(size_t(bytes), 255);
    const Frame f = Frame().disc(160, 240, 100, 0).qr("READ", 450, 240, 5, 0, 255);
    std::copy_n(f.grey.begin(), std::min(pixels.size(), f.grey.size()), pixels.begin());
    char text[8] = "keep";
    ScanRequest r{nullData ? nullptr : pixels.data(), size.width(), size.height(), int32_t(bytes),
                  dataType, 3, 0, 5.0f, 0, 0, 0, 0, 0, nullText ? nullptr : text};
    QCOMPARE(QString::fromStdString(captureStdout([&] { qr_decode(&r); })), message);
    if (!nullText) { // the mark search does not use the text
        QCOMPARE(QString::fromStdString(captureStdout([&] { mr_interface(&r); })), message);
        QVERIFY(r.outX == 1 && r.outY == 1 && r.outWidth == 1.5f && r.outRadius == 3.0f);
    }
    QCOMPARE(QByteArray(text), QByteArray("keep"));
    QCOMPARE(captureStdout([] { mr_interface(nullptr), qr_decode(nullptr); }), "null request\nnull request\n");
}

// Random scenes that exercise every filter: discs, rings, open rings and
// ellipses near the asked size (the circle test's limits), oblong and square
// blocks, diamonds, fine speckle (more regions than the table holds),
// shading and noise; a quarter light on dark and searched inverted.
static Frame randomScene(std::mt19937 &rng, int &shape, float &size, int &polarity)
{
    auto uni = [&](double a, double b) { return a + (b - a) * (rng() % 10000) / 10000.0; };
    auto pick = [&](int a, int b) { return a + int(rng() % unsigned(b - a + 1)); };
    Frame f(uint8_t(pick(150, 255)));
    for (int i = 0, shaded = pick(0, 1); shaded && i < kWidth * kHeight; ++i)
        f.grey[size_t(i)] -= std::min<int>(f.grey[0], (i % kWidth + i / kWidth) / 16);
    shape = pick(1, 4) == 4 ? pick(0, 3) : pick(1, 3);
    size = float(uni(3.5, 7.5));
    for (int i = pick(0, 5); i > 0; --i) {
        const double cx = uni(-20, kWidth + 20), cy = uni(-20, kHeight + 20), d = size * 20;
        const uint8_t ink = uint8_t(pick(0, 90));
        switch (pick(0, 6)) {
        case 0: f.disc(cx, cy, d + uni(-25, 25), ink); break;
        case 1: f.ring(cx, cy, d + uni(-25, 25), uni(8, 30), ink); break;
        case 2: f.block(int(cx), int(cy), pick(40, 140), pick(40, 110), ink); break;
        case 3: f.diamond(int(cx), int(cy), pick(40, 115), ink); break;
        case 4: f.ring(cx, cy, d + uni(-10, 10), uni(10, 30), ink, uni(0, 90)); break;
        case 5: f.ring(cx, cy, d + uni(-10, 10), d, ink, 0, uni(0.8, 1.2)); break;
        default: f.disc(cx, cy, uni(20, 200), ink); break;
        }
    }
    const int step = pick(8, 14), speckle = pick(0, 3);
    for (int y = 0; speckle == 0 && y < kHeight; y += step)
        for (int x = 0; x < kWidth; x += step)
            if (pick(0, 3))
                f.block(x, y, step - 2, step - 2, uint8_t(pick(0, 60)));
    for (size_t i = 0; speckle == 1 && i < f.grey.size(); ++i) // noise
        f.grey[i] = uint8_t(std::clamp(int(f.grey[i]) + pick(-40, 40), 0, 255));
    polarity = pick(0, 3) == 0;
    for (size_t i = 0; polarity && i < f.grey.size(); ++i)
        f.grey[i] = uint8_t(255 - f.grey[i]);
    return f;
}

void TestGlyphscan::fastSearchMatchesReference()
{
    std::mt19937 rng(7);
    auto ws = std::make_unique<glyphscan::MarkWorkspace>();
    auto fast = std::make_unique<glyphscan::MarkSearch>();
    auto plain = std::make_unique<glyphscan::MarkSearch>();
    std::vector<uint8_t> half(glyphscan::kHalfPixels);
    int accepted = 0, full = 0;
    for (int i = 0; i < 300; ++i) {
        int shape, polarity;
        float size;
        Frame f = randomScene(rng, shape, size, polarity);
        ScanRequest r = f.request(shape, polarity, size);
        QVERIFY(glyphscan::prepareHalfImage(&r, half.data()) == glyphscan::Prep::Ready);
        glyphscan::searchMark(half.data(), shape, size, *fast, *ws);
        reference::searchMark(half.data(), shape, size, *plain);
        QVERIFY2(fast->regionCount == plain->regionCount && fast->illegalShapeRegions == plain->illegalShapeRegions
                     && !std::memcmp(&fast->result, &plain->result, sizeof fast->result)
                     && !std::memcmp(fast->regions, plain->regions, sizeof(fast->regions[0]) * fast->regionCount),
                 qPrintable(QString("scene %1").arg(i)));
        accepted += fast->result.x != 0;
        full += fast->regionCount == glyphscan::kMaxRegions;
    }
    // The comparison is only worth something if both paths were taken.
    QVERIFY2(accepted >= 20 && full >= 5, qPrintable(QString("%1 %2").arg(accepted).arg(full)));
}

// A pixel whose window sum makes (sum * 95) / 100 exactly one more than
// count * pixel is foreground: the one place where rounding decides. Grey 14
// everywhere, the pixel at (160, 120) 14 too, and 1180 more grey spread in its
// 40 x 40 window give sum 23580, and 23580 * 95 = 100 * (1600 * 14 + 1).
void TestGlyphscan::thresholdAtExactlyTheMean()
{
    std::vector<uint8_t> half(glyphscan::kHalfPixels, 14), binary(half.size());
    std::vector<uint32_t> integral(half.size());
    for (int x = 150; x < 155; ++x)
        half[110 * glyphscan::kHalfWidth + x] = x < 154 ? 255 : 230;
    glyphscan::adaptiveThreshold(half.data(), integral.data(), binary.data());
    QCOMPARE(int(binary[120 * glyphscan::kHalfWidth + 160]), 255);
    QVERIFY(std::equal(binary.begin(), binary.end(), reference::threshold(half.data()).begin()));
}

// Level 0: nothing read (the text stays empty).
void TestGlyphscan::readsCode_data()
{
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("text");
    const std::string job("JOB-0042/sheet.plt");
    const QByteArray text(job.c_str());
    const Frame dark = Frame().qr(job, 320, 240, 6, 0, 255), light = Frame(0).qr(job, 320, 240, 6, 255, 0);
    QTest::newRow("dark on light") << dark << 0 << 20 << text;
    QTest::newRow("dark on light, inverted") << dark << 1 << 0 << QByteArray();
    QTest::newRow("light on dark") << light << 0 << 0 << QByteArray();
    QTest::newRow("light on dark, inverted") << light << 1 << 20 << text;
    // Modules of grey 30 vanish at clip 20 and are back at clip 40.
    QTest::newRow("grey 30 modules") << Frame().qr(job, 320, 240, 6, 30, 255) << 0 << 40 << text;
    // (306 R + 601 G + 117 B) >> 10: blue modules are grey 29, red ones 76.
    QTest::newRow("blue modules, rgb") << Frame().qr(job, 320, 240, 6, 0, 255).rgb(true) << 0 << 40 << text;
    QTest::newRow("zero byte cuts the text")
        << Frame().qr(std::string("AB\0CD", 5), 320, 240, 6, 0, 255) << 0 << 20 << QByteArray("AB");
}

void TestGlyphscan::readsCode()
{
    QFETCH(Frame, frame);
    QFETCH(int, polarity);
    ScanRequest r = frame.request(3, polarity);
    QTEST(glyphscan::decodeRequest(&r), "level");
    QTEST(QByteArray(frame.text.c_str()), "text");
}

// At most 1023 bytes and the terminating zero, cut at a zero byte; symbol
// data is not zero-terminated within its length.
void TestGlyphscan::textCopyIsBounded()
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
            glyphscan::copySymbolText(zbar_symbol_get_data(s), zbar_symbol_get_data_length(s), text);
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
void TestGlyphscan::levelSearchKeepsResults()
{
    std::mt19937 rng(77);
    // Skipping known levels on or off; one thread, one per core, or one per
    // level (more threads than cores: the order of finishing varies most).
    const glyphscan::QrOptions ways[] = {{true, true}, {true, false}, {false, true}, {false, false}, {true, true, 9},
                                         {false, true, 9}};
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
void TestGlyphscan::callsFromSeveralThreads()
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

static QStringList lines(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {QStringLiteral("%1 failed: %2").arg(tool, QString(p.readAllStandardError()))};
    return QString(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

void TestGlyphscan::exportsTwoPlainNamesNeedsNoQt()
{
    QStringList names;
    for (const QString &line : lines("nm", {"-D", "--defined-only", GLYPHSCAN_LIBRARY}))
        names << line.section(' ', -1);
    names.sort();
    QCOMPARE(names, (QStringList{"mr_interface", "qr_decode"}));
    const QString needed = lines("readelf", {"-d", GLYPHSCAN_LIBRARY}).filter("NEEDED").join('\n');
    QVERIFY2(needed.contains("libzbar") && !needed.contains("Qt", Qt::CaseInsensitive), qPrintable(needed));
}

QTEST_GUILESS_MAIN(TestGlyphscan)
#include "tst_glyphscan.moc"
