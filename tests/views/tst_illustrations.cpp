// The route sample and knife pictures for each offset setting, and which
// captions follow the translation.
#include "cutview.h"
#include "knifeview.h"

#include <QTranslator>
#include <QtTest>

using Points = QList<QPoint>;

class TestIllustrations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(cutterdesk); } // the translation
    void routeSample_data();
    void routeSample();
    void knifeAndPen();
    void captionsFollowTranslationExceptKnifeNose();
};

static bool isRed(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110;
}

// Thin antialiased curves: the darkest non-red pixel of the 3 x 3 block.
static int darkestNear(const QImage &image, QPoint p)
{
    int darkest = 255;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (!isRed(image.pixel(p + QPoint(dx, dy))))
                darkest = qMin(darkest, qGray(image.pixel(p + QPoint(dx, dy))));
    return darkest;
}

// 200 x 200: square (40,40)-(160,160), 20 pixels per mm, so knife offset
// 0.3 mm is r = 6 and close offset 0.5 mm an overcut of 10 pixels.
void TestIllustrations::routeSample_data()
{
    QTest::addColumn<bool>("knife");
    QTest::addColumn<bool>("close");
    QTest::addColumn<Points>("dark");
    QTest::addColumn<Points>("light");
    QTest::addColumn<Points>("red");    // with close offset: where the overcut lies
    QTest::addColumn<Points>("notRed"); // ... and where it does not
    const Points sides{{100, 40}, {160, 100}, {100, 160}, {40, 100}};
    // On the quarter arcs, 45 degrees round each corner, and the top side
    // running on past the corner.
    const Points route{{164, 44}, {155, 164}, {35, 155}, {44, 35}, {163, 40}};
    QTest::newRow("plain square") << false << false << sides << route << Points() << Points();
    QTest::newRow("overcut from the corner")
        << false << true << sides << route << Points{{42, 40}, {48, 40}} << Points{{37, 40}, {53, 40}};
    QTest::newRow("knife route") << true << false << (sides + route) << Points() << Points() << Points();
    QTest::newRow("overcut where the top side begins")
        << true << true << (sides + route) << Points() << Points{{48, 40}, {54, 40}}
        << Points{{43, 40}, {59, 40}};
}

void TestIllustrations::routeSample()
{
    QFETCH(bool, knife);
    QFETCH(bool, close);
    QFETCH(Points, dark);
    QFETCH(Points, light);
    QFETCH(Points, red);
    QFETCH(Points, notRed);
    CutView view;
    view.resize(200, 200);
    view.knifeOffsetOn = knife;
    view.closeOffsetOn = close;
    const QImage image = view.grab().toImage();
    for (const QPoint &p : dark)
        QVERIFY2(darkestNear(image, p) < 100, qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : light)
        QVERIFY2(qGray(image.pixel(p)) > 180, qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : red)
        QVERIFY(isRed(image.pixel(p)));
    for (const QPoint &p : notRed)
        QVERIFY(!isRed(image.pixel(p)));
    int reds = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            reds += isRed(image.pixel(x, y));
    QCOMPARE(reds > 0, close);
}

// 200 x 150: q = 50 pixels per mm, so 0.3 mm is r = 15; thirds of the height
// at 50 and 100; the material from y 90 to 100.
void TestIllustrations::knifeAndPen()
{
    KnifeView view;
    view.resize(200, 150);
    const auto darkAt = [&](const QImage &image, const Points &points) {
        for (const QPoint &p : points)
            if (darkestNear(image, p) > 80)
                return false;
        return true;
    };
    const auto redAt = [](const QImage &image, int x) {
        int n = 0;
        for (int y = 52; y < 98; ++y)
            n += qRed(image.pixel(x, y)) > qGreen(image.pixel(x, y)) + 30;
        return n > 5;
    };
    const Points penBody{{66, 25}, {133, 25}, {83, 70}, {116, 70}};
    // Holder edges (the right one reaching down) and the blade's middle.
    const Points knifeBody{{85, 25}, {115, 25}, {115, 75}, {100, 75}};
    const QImage pen = view.grab().toImage();
    view.knifeOffsetOn = true;
    const QImage knife = view.grab().toImage();
    QVERIFY(darkAt(pen, penBody) && !darkAt(pen, {{85, 25}}) && !darkAt(pen, {{115, 25}}));
    QVERIFY(darkAt(knife, knifeBody) && !darkAt(knife, {{66, 25}}) && !darkAt(knife, {{85, 70}}));
    QCOMPARE(pen.pixel(30, 95), qRgb(255, 255, 255)); // the material
    // The red dashed axis and the line at 100 + 60 * 15 / 150 = 106: knife only.
    QVERIFY(redAt(knife, 100) && redAt(knife, 106) && !redAt(pen, 100));
}

void TestIllustrations::captionsFollowTranslationExceptKnifeNose()
{
    CutView cut;
    KnifeView knife, pen;
    knife.knifeOffsetOn = true;
    QList<QWidget *> views{&cut, &knife, &pen};
    const auto captions = [&] {
        QList<QImage> images;
        for (QWidget *view : views) {
            view->resize(160, 120);
            images << view->grab().toImage().copy(0, 105, 160, 15);
        }
        return images;
    };
    const QList<QImage> english = captions();
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(":/Chinese.qm")));
    QCoreApplication::installTranslator(&chinese);
    const QList<QImage> translated = captions();
    QCoreApplication::removeTranslator(&chinese);

    QVERIFY(translated.at(0) != english.at(0)); // "Route Sample"
    QVERIFY(translated.at(1) == english.at(1)); // "Knife Nose", never translated
    QVERIFY(translated.at(2) != english.at(2)); // "Pen Nose"
    QVERIFY(english.at(1) != english.at(2));
}

QTEST_MAIN(TestIllustrations)
#include "tst_illustrations.moc"
