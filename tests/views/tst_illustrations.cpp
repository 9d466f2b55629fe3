// The route sample and knife pictures: what appears for each offset setting,
// and which captions follow the translation.
#include "cutview.h"
#include "knifeview.h"

#include <QTranslator>
#include <QtTest>

class TestIllustrations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void routeSample_data();
    void routeSample();
    void zeroKnifeOffsetIsThePlainSquare();
    void knifeAndPen_data();
    void knifeAndPen();
    void captionsFollowTranslationExceptKnifeNose();
};

void TestIllustrations::initTestCase()
{
    Q_INIT_RESOURCE(cutterdesk); // the translation
}

template <typename View>
static QImage picture(View &view)
{
    return view.grab().toImage();
}

static bool isRed(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110;
}

// Thin antialiased curves: the darkest pixel of the 3 x 3 block around p.
static int darkestNear(const QImage &image, QPoint p)
{
    int darkest = 255;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QRgb pixel = image.pixel(p + QPoint(dx, dy));
            if (!isRed(pixel))
                darkest = qMin(darkest, qGray(pixel));
        }
    return darkest;
}

static int redPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += isRed(image.pixel(x, y));
    return n;
}

// A 200 x 200 sample: square (40,40)-(160,160), 20 pixels per mm; knife
// offset 0.3 mm is r = 6 pixels, close offset 0.5 mm an overcut of 10.
void TestIllustrations::routeSample_data()
{
    QTest::addColumn<bool>("knife");
    QTest::addColumn<bool>("close");
    QTest::addColumn<QList<QPoint>>("dark");
    QTest::addColumn<QList<QPoint>>("light");
    QTest::addColumn<QList<QPoint>>("red");
    QTest::addColumn<QList<QPoint>>("notRed");
    const QList<QPoint> sides{{100, 40}, {160, 100}, {100, 160}, {40, 100}};
    // Pixels on the quarter arcs at 45 degrees from each corner, and on the
    // top side where it runs on past the corner.
    const QList<QPoint> arcs{{164, 44}, {155, 164}, {35, 155}, {44, 35}, {163, 40}};
    QTest::newRow("plain square") << false << false << sides << arcs << QList<QPoint>{}
                                  << QList<QPoint>{};
    QTest::newRow("overcut from the corner") << false << true << sides << arcs
                                             << QList<QPoint>{{42, 40}, {48, 40}}
                                             << QList<QPoint>{{53, 40}, {37, 40}};
    QTest::newRow("knife route") << true << false << (sides + arcs) << QList<QPoint>{}
                                 << QList<QPoint>{} << QList<QPoint>{};
    QTest::newRow("both: overcut where the top side begins")
        << true << true << (sides + arcs) << QList<QPoint>{} << QList<QPoint>{{48, 40}, {54, 40}}
        << QList<QPoint>{{43, 40}, {59, 40}};
}

void TestIllustrations::routeSample()
{
    QFETCH(bool, knife);
    QFETCH(bool, close);
    QFETCH(QList<QPoint>, dark);
    QFETCH(QList<QPoint>, light);
    QFETCH(QList<QPoint>, red);
    QFETCH(QList<QPoint>, notRed);

    CutView view;
    view.resize(200, 200);
    view.knifeOffsetOn = knife;
    view.closeOffsetOn = close;
    const QImage image = picture(view);
    for (const QPoint &p : dark)
        QVERIFY2(darkestNear(image, p) < 100, qPrintable(QString("dark at %1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : light)
        QVERIFY2(qGray(image.pixel(p)) > 180, qPrintable(QString("light at %1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : red)
        QVERIFY2(isRed(image.pixel(p)), qPrintable(QString("red at %1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : notRed)
        QVERIFY2(!isRed(image.pixel(p)), qPrintable(QString("not red at %1,%2").arg(p.x()).arg(p.y())));
    if (!close)
        QCOMPARE(redPixels(image), 0);
    QCOMPARE(qGray(image.pixel(100, 100)), qGray(QColor(Qt::lightGray).rgb()));
}

void TestIllustrations::zeroKnifeOffsetIsThePlainSquare()
{
    CutView plain;
    plain.resize(150, 130);
    CutView knife;
    knife.resize(150, 130);
    knife.knifeOffsetOn = true;
    knife.knifeOffsetMm = 0;
    const QImage a = picture(plain);
    const QImage b = picture(knife);
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 40;
    QVERIFY2(differing <= 4, qPrintable(QString::number(differing))); // the zero arcs' dots at most
}

// A 200 x 150 knife view: q = 50 pixels per mm, so 0.3 mm is r = 15; thirds
// of the height at 50 and 100; the material's top edge at 90.
void TestIllustrations::knifeAndPen_data()
{
    QTest::addColumn<bool>("knife");
    QTest::addColumn<QList<QPoint>>("dark");
    QTest::addColumn<QList<QPoint>>("grey");
    QTest::newRow("knife")
        << true
        << QList<QPoint>{{85, 25}, {115, 25}, {115, 75}, {100, 75}} // holder edges, blade at mid-height
        << QList<QPoint>{{85, 70}, {66, 25}, {133, 25}};
    QTest::newRow("pen")
        << false
        << QList<QPoint>{{66, 25}, {133, 25}, {83, 70}, {116, 70}} // body and cone
        << QList<QPoint>{{85, 25}, {115, 25}};
}

void TestIllustrations::knifeAndPen()
{
    QFETCH(bool, knife);
    QFETCH(QList<QPoint>, dark);
    QFETCH(QList<QPoint>, grey);

    KnifeView view;
    view.resize(200, 150);
    view.knifeOffsetOn = knife;
    const QImage image = picture(view);
    const int background = qGray(QColor(Qt::gray).rgb());
    for (const QPoint &p : dark)
        QVERIFY2(darkestNear(image, p) < background - 40, qPrintable(QString("dark at %1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : grey)
        QVERIFY2(qAbs(qGray(image.pixel(p)) - background) < 10, qPrintable(QString("grey at %1,%2").arg(p.x()).arg(p.y())));
    QCOMPARE(image.pixel(30, 95), qRgb(255, 255, 255)); // the material
    // The red dashed axis and its offset line (x = 100 + 60 * 15 / 150 = 106)
    // belong to the knife only.
    int axisRed = 0, tipRed = 0;
    for (int y = 52; y < 98; ++y) {
        axisRed += qRed(image.pixel(100, y)) > qGreen(image.pixel(100, y)) + 30;
        tipRed += qRed(image.pixel(106, y)) > qGreen(image.pixel(106, y)) + 30;
    }
    QCOMPARE(axisRed > 5, knife);
    QCOMPARE(tipRed > 5, knife);
}

static QImage caption(QWidget &view)
{
    const QImage image = view.grab().toImage();
    return image.copy(0, image.height() - 15, image.width(), 15);
}

void TestIllustrations::captionsFollowTranslationExceptKnifeNose()
{
    CutView cut;
    cut.resize(160, 120);
    KnifeView knife;
    knife.resize(160, 120);
    KnifeView pen;
    pen.resize(160, 120);
    knife.knifeOffsetOn = true;
    const QImage cutEnglish = caption(cut), knifeEnglish = caption(knife), penEnglish = caption(pen);

    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(":/Chinese.qm")));
    QCoreApplication::installTranslator(&chinese);
    const QImage cutChinese = caption(cut), knifeChinese = caption(knife), penChinese = caption(pen);
    QCoreApplication::removeTranslator(&chinese);

    QVERIFY(cutChinese != cutEnglish);
    QVERIFY(penChinese != penEnglish);
    QVERIFY(knifeChinese == knifeEnglish);
    QVERIFY(knifeEnglish != penEnglish); // the caption is really there
}

QTEST_MAIN(TestIllustrations)
#include "tst_illustrations.moc"
