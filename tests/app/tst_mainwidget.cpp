// The main window's start sequence, work modes, matrix options and translation.
#include "mainwidget.h"
#include "windowfixture.h"
#include "release.h"

#include <QtTest>
#include <QtWidgets>

class TestMainWidget : public QObject, private WindowFixture
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void opensAt1024x768();
    void usbWithoutCutterDisablesConnect();
    void storedRj45ShowsAddressField();
    void releaseDate_data();
    void releaseDate();
    void releaseLabelLinksToWebSite();

    void modeButtonsStopAtEnds();
    void modeVisibility_data();
    void modeVisibility();
    void matrixSpacingFollowsRadio();

    void translationInstalled();

private:
    static bool shown(QWidget &w, const char *name) { return child<QWidget>(w, name)->isVisibleTo(&w); }
    static bool shown(QWidget &w, const QByteArray &name) { return shown(w, name.constData()); }
};

void TestMainWidget::initTestCase()
{
    QVERIFY(setUp());
}

void TestMainWidget::init()
{
    removeConfig();
}


void TestMainWidget::opensAt1024x768()
{
    MainWidget w;
    QCOMPARE(w.size(), QSize(1024, 768));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(1024, 768)); // the form's minimum fits, nothing forces it larger
}

void TestMainWidget::usbWithoutCutterDisablesConnect()
{
    MainWidget w;
    QCOMPARE(child<QComboBox>(w, "devType")->currentText(), QStringLiteral("USB"));
    QCOMPARE(child<QComboBox>(w, "device")->count(), 0);
    QVERIFY(shown(w, "device"));
    QVERIFY(!shown(w, "deviceIP"));

    // Switching the transport by hand runs the slot connected by name.
    auto *devType = child<QComboBox>(w, "devType");
    devType->setCurrentText(QStringLiteral("RJ45"));
    QVERIFY(child<QPushButton>(w, "connectBtn")->isEnabled());
    devType->setCurrentText(QStringLiteral("USB"));
    QVERIFY(!child<QPushButton>(w, "connectBtn")->isEnabled());
    QVERIFY(shown(w, "device"));
    QVERIFY(!shown(w, "deviceIP"));
}

void TestMainWidget::storedRj45ShowsAddressField()
{
    QVERIFY(writeConfig("[KLOM]\ndevType=RJ45\ndeviceIP=10.0.0.9\n"));
    MainWidget w;
    QVERIFY(shown(w, "deviceIP")); // although the start sequence hid it first
    QVERIFY(!shown(w, "device"));
    QVERIFY(child<QPushButton>(w, "connectBtn")->isEnabled());
    QCOMPARE(child<QLineEdit>(w, "deviceIP")->text(), QStringLiteral("10.0.0.9"));
}

void TestMainWidget::releaseDate_data()
{
    QTest::addColumn<QString>("buildDate");
    QTest::addColumn<QString>("stamp");
    QTest::newRow("one-digit day") << "Apr  3 2021" << "20210403";
    QTest::newRow("two-digit day") << "Apr 30 2021" << "20210430";
    QTest::newRow("first of year") << "Jan  1 2000" << "20000101";
    QTest::newRow("last of year") << "Dec 31 1999" << "19991231";
    QTest::newRow("September") << "Sep 10 2024" << "20240910";
    QTest::newRow("not a month") << "Foo 12 2021" << "";
    QTest::newRow("no such day") << "Feb 30 2021" << "";
    QTest::newRow("empty") << "" << "";
}

void TestMainWidget::releaseDate()
{
    QFETCH(QString, buildDate);
    QFETCH(QString, stamp);
    QCOMPARE(releaseDateStamp(buildDate), stamp);
}

void TestMainWidget::releaseLabelLinksToWebSite()
{
    MainWidget w;
    auto *label = child<QLabel>(w, "versionLB");
    QVERIFY(label->openExternalLinks());
    const QRegularExpression link(QStringLiteral(
        "^<a href=\"https://www\\.torvane\\.example\">Release Date:(\\d{8})</a>$"));
    const QRegularExpressionMatch m = link.match(label->text());
    QVERIFY2(m.hasMatch(), qPrintable(label->text()));
    QVERIFY(QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd")).isValid());
}

void TestMainWidget::modeButtonsStopAtEnds()
{
    MainWidget w;
    auto *prev = child<QPushButton>(w, "prevMode");
    auto *next = child<QPushButton>(w, "nextMode");
    auto *mode = child<QLabel>(w, "mode");
    QTest::mouseClick(prev, Qt::LeftButton);
    QCOMPARE(w.workIndex, 0); // no wrap-around to the last mode
    for (int i = 0; i < 15; ++i)
        QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(w.workIndex, 11); // no wrap-around to mode 0
    QCOMPARE(mode->text(), QStringLiteral("AF. QR Filter, Feed While Cutting."));
    QTest::mouseClick(prev, Qt::LeftButton);
    QCOMPARE(w.workIndex, 10);
    QCOMPARE(mode->text(), QStringLiteral("AF. QR Filter, Single Feed."));
    QCOMPARE(w.modeNames.size(), 12);
    QCOMPARE(w.modeTips.size(), 12);
}

void TestMainWidget::modeVisibility_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("matrix");
    QTest::addColumn<bool>("feed");
    QTest::addColumn<bool>("eject");
    QTest::addColumn<bool>("smartScan");
    QTest::addColumn<bool>("tip");
    // Rows 0..5 leave the fields inside the hidden feed group untouched, so
    // eject and smartScan there are whatever the form had: shown.
    const bool table[12][5] = {
        {false, false, true, true, true},  {true, false, true, true, true},
        {false, false, true, true, true},  {true, false, true, true, true},
        {false, false, true, true, true},  {true, false, true, true, true},
        {false, true, true, false, false}, {false, true, false, false, false},
        {false, true, true, true, false},  {false, true, false, true, false},
        {false, true, true, true, false},  {false, true, false, true, false},
    };
    for (int i = 0; i < 12; ++i)
        QTest::addRow("mode %d", i) << i << table[i][0] << table[i][1] << table[i][2]
                                    << table[i][3] << table[i][4];
}

void TestMainWidget::modeVisibility()
{
    QFETCH(int, index);
    QFETCH(bool, matrix);
    QFETCH(bool, feed);
    QFETCH(bool, eject);
    QFETCH(bool, smartScan);
    QFETCH(bool, tip);

    MainWidget w;
    for (int i = 0; i < index; ++i)
        QTest::mouseClick(child<QPushButton>(w, "nextMode"), Qt::LeftButton);
    QCOMPARE(w.workIndex, index);
    QCOMPARE(child<QLabel>(w, "mode")->text(), w.modeNames.at(index));
    QCOMPARE(child<QLabel>(w, "mode")->toolTip().isEmpty(), !tip);
    QCOMPARE(shown(w, "MatGrp"), matrix);
    QCOMPARE(shown(w, "FeedGrp"), feed);
    QCOMPARE(shown(w, "countLB"), feed);
    QCOMPARE(shown(w, "count"), feed);
    for (const char *name : {"ejectDistLB", "ejectDist", "ejectDistmm"})
        QCOMPARE(!child<QWidget>(w, name)->isHidden(), eject);
    QCOMPARE(!child<QWidget>(w, "smartScan")->isHidden(), smartScan);
}

void TestMainWidget::matrixSpacingFollowsRadio()
{
    QVERIFY(writeConfig("[KLOM]\nWorkIndex=1\nmatTwo=true\n"));
    MainWidget w;
    // 1: the spacing's label, field and unit shown, 0: all hidden, -1: mixed.
    const auto spacing = [&](const QByteArray &field) {
        const int n = shown(w, field + "LB") + shown(w, field) + shown(w, field + "mm");
        return n == 3 ? 1 : n == 0 ? 0 : -1;
    };
    QCOMPARE(spacing("matSpH"), 1); // applied at start for the stored choice
    QCOMPARE(spacing("matSpV"), 0);
    const struct { const char *radio; int horizontal, vertical; } clicks[] = {
        {"matFour", 1, 1}, {"matOne", 0, 0}, {"matTwo", 1, 0}};
    for (const auto &c : clicks) {
        QTest::mouseClick(child<QRadioButton>(w, c.radio), Qt::LeftButton);
        QCOMPARE(spacing("matSpH"), c.horizontal);
        QCOMPARE(spacing("matSpV"), c.vertical);
    }
}

void TestMainWidget::translationInstalled()
{
    MainWidget w;
    // Translated form texts, mode titles 0..5 and texts looked up later.
    QCOMPARE(w.windowTitle(), QStringLiteral("Torvane 平板切割机"));
    QCOMPARE(child<QCheckBox>(w, "repeatCut")->text(), QStringLiteral("重复切割"));
    QCOMPARE(child<QLabel>(w, "stateText")->text(), QStringLiteral("空闲"));
    QCOMPARE(child<QLabel>(w, "mode")->text(), QStringLiteral("01. 单文件，空白切割。"));
    QCOMPARE(w.modeNames.at(3), QStringLiteral("04， 单文件，标记点矩阵。"));
    QCOMPARE(QCoreApplication::translate("MainWidget", "No Paper..."), QStringLiteral("缺纸"));
    QCOMPARE(QCoreApplication::translate("CutView", "Route Sample"), QStringLiteral("路径示例"));

    // Texts without an entry stay English.
    QCOMPARE(child<QPushButton>(w, "startBtn")->text(), QStringLiteral("Start"));
    QCOMPARE(child<QLabel>(w, "knifeOffmm")->text(), QStringLiteral("mm"));
    QCOMPARE(w.modeNames.at(6), QStringLiteral("AF. Blank Cut, Single Feed."));
    QCOMPARE(QCoreApplication::translate("KnifeView", "Knife Nose"), QStringLiteral("Knife Nose"));
}

QTEST_MAIN(TestMainWidget)
#include "tst_mainwidget.moc"
