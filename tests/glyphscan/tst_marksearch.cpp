// Mark search through the mr_interface export, and the tuned search
// against the plain reference on generated frames.
#include "glyphscan.h"
#include "marksearch.h"
#include "referencesearch.h"
#include "stdoutcapture.h"
#include "testimages.h"

#include <QtTest>

#include <cstring>
#include <memory>
#include <random>

using namespace testimages;

namespace {

// A scene by name; every size is in full-resolution pixels.
Frame scene(const QString &name)
{
    Frame f;
    if (name == "white") {
    } else if (name == "disc") {
        disc(f, 320, 240, 100, 0);
    } else if (name == "disc rgb") {
        disc(f, 320, 240, 100, 0);
        f.toRgb();
    } else if (name == "white disc on black") {
        f = Frame(0);
        disc(f, 320, 240, 100, 255);
    } else if (name == "ring") {
        ring(f, 200, 300, 120, 20, 20);
    } else if (name == "ring open 14 degrees") {
        ring(f, 320, 240, 110, 16, 0, 14); // ten misses in the circle test
    } else if (name == "ring open 16 degrees") {
        ring(f, 320, 240, 110, 16, 0, 16); // eleven misses
    } else if (name == "oblong block") {
        block(f, 300, 200, 96, 78, 0); // 44 x 35 half pixels after clean-up
    } else if (name == "square block") {
        block(f, 300, 200, 78, 78, 0);
    } else if (name == "diamond") {
        diamond(f, 320, 240, 70, 0);
    } else if (name == "600 pixels") {
        block(f, 100, 100, 56, 58, 0); // 24 x 25 half pixels: area 599
    } else if (name == "625 pixels") {
        block(f, 100, 100, 58, 58, 0); // 25 x 25 half pixels: area 624
    }
    return f;
}

const float kFactor = 1.9999938f;

} // namespace

class TestMarkSearch : public QObject {
    Q_OBJECT
private slots:
    void findsMark_data();
    void findsMark();
    void noMarkValues();
    void laterMarkWins_data();
    void laterMarkWins();
    void illegalShapePrintsPerRegion();
    void refusedRecords_data();
    void refusedRecords();
    void fastSearchMatchesReference();
};

void TestMarkSearch::findsMark_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<float>("size");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("black disc") << "disc" << 3 << 0 << 5.0f << true << 320 << 240;
    QTest::newRow("black disc, rgb") << "disc rgb" << 3 << 0 << 5.0f << true << 320 << 240;
    QTest::newRow("black disc inverted") << "disc" << 3 << 1 << 5.0f << false << 0 << 0;
    QTest::newRow("black disc too small for size 9") << "disc" << 3 << 0 << 9.0f << false << 0 << 0;
    QTest::newRow("white disc inverted") << "white disc on black" << 3 << 1 << 5.0f << true << 320 << 240;
    QTest::newRow("white disc plain") << "white disc on black" << 3 << 0 << 5.0f << false << 0 << 0;
    QTest::newRow("ring, circle test") << "ring" << 3 << 0 << 6.0f << true << 200 << 300;
    QTest::newRow("open ring, 10 misses") << "ring open 14 degrees" << 3 << 0 << 5.0f << true << 320 << 240;
    QTest::newRow("open ring, 11 misses") << "ring open 16 degrees" << 3 << 0 << 5.0f << false << 0 << 0;
    QTest::newRow("ring is no solid disc") << "ring" << 2 << 0 << 6.0f << false << 0 << 0;
    // The disc test wants empty bounding-box corners and a solid centre.
    QTest::newRow("diamond, disc test") << "diamond" << 2 << 0 << 6.5f << true << 320 << 240;
    QTest::newRow("round disc fails disc test") << "disc" << 2 << 0 << 5.0f << false << 0 << 0;
    QTest::newRow("oblong block") << "oblong block" << 1 << 0 << 5.0f << true << 348 << 238;
    QTest::newRow("square block is not oblong") << "square block" << 1 << 0 << 5.0f << false << 0 << 0;
    QTest::newRow("area 599 never reported") << "600 pixels" << 3 << 0 << 2.5f << false << 0 << 0;
    QTest::newRow("area 624 reported") << "625 pixels" << 3 << 0 << 2.5f << true << 128 << 128;
}

void TestMarkSearch::findsMark()
{
    QFETCH(QString, name);
    QFETCH(int, shape);
    QFETCH(int, polarity);
    QFETCH(float, size);
    QFETCH(bool, found);
    QFETCH(int, x);
    QFETCH(int, y);
    Frame f = scene(name);
    ScanRequest r = f.request(shape, polarity, size);
    QCOMPARE(mr_interface(&r), 0);
    const bool reported = r.outX >= 5 && r.outX <= 635 && r.outY >= 5;
    QCOMPARE(reported, found);
    if (!found)
        return;
    QVERIFY2(std::abs(r.outX - x) <= 4 && std::abs(r.outY - y) <= 4,
             qPrintable(QString("at %1, %2").arg(r.outX).arg(r.outY)));
    // Half-resolution centre c reaches the caller as trunc(c * k + 1) = 2c.
    QCOMPARE(r.outX % 2, 0);
    QCOMPARE(r.outY % 2, 0);
    // Width w and height h come back as w * k + 1.5, radius (w + h) / 4 as
    // radius * k + 3; k is 1.9999938 in single precision.
    const float w = std::round((r.outWidth - 1.5f) / 2);
    const float h = std::round((r.outHeight - 1.5f) / 2);
    QCOMPARE(r.outWidth, float(double(w * kFactor) + 1.5));
    QCOMPARE(r.outHeight, float(double(h * kFactor) + 1.5));
    QCOMPARE(r.outRadius, float(int(w + h) / 4) * kFactor + 3.0f);
}

void TestMarkSearch::noMarkValues()
{
    Frame f;
    ScanRequest r = f.request();
    r.outX = r.outY = -7;
    r.outWidth = r.outHeight = r.outRadius = -7;
    mr_interface(&r);
    QCOMPARE(r.outX, 1);
    QCOMPARE(r.outY, 1);
    QCOMPARE(r.outWidth, 1.5f);
    QCOMPARE(r.outHeight, 1.5f);
    QCOMPARE(r.outRadius, 3.0f);
    uint32_t bits;
    std::memcpy(&bits, &kFactor, 4);
    QCOMPARE(bits, 0x3FFFFFCCu);
}

void TestMarkSearch::laterMarkWins_data()
{
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("second");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("lower one") << QPoint(440, 330) << QPoint(200, 150) << QPoint(440, 330);
    QTest::newRow("same row, right one") << QPoint(450, 240) << QPoint(150, 240) << QPoint(450, 240);
    // The right disc sits 6 px higher, so its first pixel comes first.
    QTest::newRow("higher right one loses") << QPoint(450, 234) << QPoint(150, 240) << QPoint(150, 240);
}

void TestMarkSearch::laterMarkWins()
{
    QFETCH(QPoint, first);
    QFETCH(QPoint, second);
    QFETCH(QPoint, expected);
    Frame f;
    disc(f, first.x(), first.y(), 100, 0);
    disc(f, second.x(), second.y(), 100, 0);
    ScanRequest r = f.request(3, 0, 5.0f);
    mr_interface(&r);
    QVERIFY2(std::abs(r.outX - expected.x()) <= 4 && std::abs(r.outY - expected.y()) <= 4,
             qPrintable(QString("at %1, %2").arg(r.outX).arg(r.outY)));
}

void TestMarkSearch::illegalShapePrintsPerRegion()
{
    Frame f;
    disc(f, 200, 240, 100, 0);
    disc(f, 440, 240, 100, 0);
    block(f, 50, 50, 10, 10, 0); // too small to count
    ScanRequest r = f.request(7, 0, 5.0f);
    const std::string out = captureStdout([&] { mr_interface(&r); });
    QCOMPARE(out, std::string("illegal mark type\nillegal mark type\n"));
    QCOMPARE(r.outX, 1);
    QCOMPARE(r.outRadius, 3.0f);
}

void TestMarkSearch::refusedRecords_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<bool>("nullData");
    QTest::addColumn<QString>("message");
    QTest::newRow("320 x 240") << 320 << 240 << 1 << false << "illegal image size\n";
    QTest::newRow("640 x 240") << 640 << 240 << 0 << false << "illegal image size\n";
    QTest::newRow("1280 x 960") << 1280 << 960 << 0 << false << "illegal image size\n";
    QTest::newRow("negative") << -640 << -480 << 0 << false << "illegal image size\n";
    QTest::newRow("null data") << 640 << 480 << 1 << true << "null image data\n";
    QTest::newRow("data type 2") << 640 << 480 << 2 << false << "unsupport data type\n";
    QTest::newRow("data type -1") << 640 << 480 << -1 << false << "unsupport data type\n";
}

void TestMarkSearch::refusedRecords()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dataType);
    QFETCH(bool, nullData);
    QFETCH(QString, message);
    // A buffer exactly as large as the record claims (at least one byte):
    // any read past it shows up in the sanitizer build.
    const size_t bytes = std::max<long>(1, long(width) * height * (dataType == 1 ? 3 : 1));
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[bytes]());
    char text[8] = "keep";
    ScanRequest r{};
    r.data = nullData ? nullptr : pixels.get();
    r.width = width;
    r.height = height;
    r.dataType = dataType;
    r.markShape = 3;
    r.markSize = 5.0f;
    r.text = text;
    const std::string out = captureStdout([&] { QCOMPARE(mr_interface(&r), 0); });
    QCOMPARE(QString::fromStdString(out), message);
    QCOMPARE(r.outX, 1);
    QCOMPARE(r.outY, 1);
    QCOMPARE(r.outWidth, 1.5f);
    QCOMPARE(r.outRadius, 3.0f);
    QCOMPARE(QByteArray(text), QByteArray("keep"));
    QCOMPARE(captureStdout([] { mr_interface(nullptr); }), std::string("null request\n"));
}

namespace {

// Random scenes that exercise every filter: discs and rings near the asked
// size, oblong and square blocks, diamonds, speckle, shading and noise. Only
// the pixels that reach the half image get shading and noise.
Frame randomScene(std::mt19937 &rng, int &shape, float &size, int &polarity)
{
    auto uni = [&](double a, double b) { return a + (b - a) * (rng() % 10000) / 10000.0; };
    auto pick = [&](int a, int b) { return a + int(rng() % unsigned(b - a + 1)); };
    Frame f(uint8_t(pick(150, 255)));
    const int slope = pick(0, 1);
    for (int y = 0; y < kHeight; y += 2)
        for (int x = 0; x < kWidth; x += 2)
            f.at(x, y) = uint8_t(std::max(0, int(f.at(x, y)) - (x + y) * slope / 16));
    shape = pick(1, 4) == 4 ? pick(0, 3) : pick(1, 3);
    size = float(uni(3.5, 7.5));
    const int marks = pick(0, 5);
    for (int i = 0; i < marks; ++i) {
        const double cx = uni(-20, kWidth + 20), cy = uni(-20, kHeight + 20);
        const uint8_t ink = uint8_t(pick(0, 90));
        switch (pick(0, 6)) {
        case 0: disc(f, cx, cy, size * 20 + uni(-25, 25), ink); break;
        case 1: ring(f, cx, cy, size * 20 + uni(-25, 25), uni(8, 30), ink); break;
        // Open rings and ellipses land near the circle test's limits.
        case 5: ring(f, cx, cy, size * 20 + uni(-10, 10), uni(10, 30), ink, uni(0, 90)); break;
        case 6: ellipse(f, cx, cy, size * 20 + uni(-10, 10), uni(0.8, 1.2), ink); break;
        case 2: block(f, int(cx), int(cy), pick(40, 140), pick(40, 110), ink); break;
        case 3: diamond(f, int(cx), int(cy), pick(30, 80), ink); break;
        default: disc(f, cx, cy, uni(20, 200), ink); break;
        }
    }
    switch (pick(0, 3)) {
    case 0: { // fine speckle: many small regions, beyond the table's room
        const int step = pick(8, 14);
        for (int y = 0; y < kHeight; y += step)
            for (int x = 0; x < kWidth; x += step)
                if (pick(0, 3))
                    block(f, x, y, step - 2, step - 2, uint8_t(pick(0, 60)));
        break;
    }
    case 1:
        for (int y = 0; y < kHeight; y += 2)
            for (int x = 0; x < kWidth; x += 2)
                f.at(x, y) = uint8_t(std::clamp(int(f.at(x, y)) + pick(-40, 40), 0, 255));
        break;
    default: break;
    }
    // A quarter of the scenes are light on dark and searched inverted.
    polarity = pick(0, 3) == 0;
    if (polarity)
        for (auto &p : f.grey)
            p = uint8_t(255 - p);
    return f;
}

bool sameSearch(const glyphscan::MarkSearch &a, const glyphscan::MarkSearch &b)
{
    return a.regionCount == b.regionCount && a.illegalShapeRegions == b.illegalShapeRegions
        && std::memcmp(&a.result, &b.result, sizeof a.result) == 0
        && std::memcmp(a.regions, b.regions, sizeof(a.regions[0]) * size_t(a.regionCount)) == 0;
}

} // namespace

void TestMarkSearch::fastSearchMatchesReference()
{
    std::mt19937 rng(20261206);
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
        QVERIFY2(sameSearch(*fast, *plain),
                 qPrintable(QString("scene %1: %2 vs %3 regions, x %4 vs %5")
                                .arg(i).arg(fast->regionCount).arg(plain->regionCount)
                                .arg(fast->result.x).arg(plain->result.x)));
        accepted += fast->result.x != 0;
        full += fast->regionCount == glyphscan::kMaxRegions;
    }
    // The comparison is only worth something if both paths were taken.
    QVERIFY2(accepted >= 20, qPrintable(QString::number(accepted)));
    QVERIFY2(full >= 5, qPrintable(QString::number(full)));
}

QTEST_GUILESS_MAIN(TestMarkSearch)
#include "tst_marksearch.moc"
