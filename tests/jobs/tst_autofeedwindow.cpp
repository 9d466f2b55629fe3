// The main window runs an auto-feed mode over the USB link: the Start button,
// the count spin box going down, the "No Paper..." box, the state label. The
// simulated cutter sits behind a mocked udev node (run under umockdev-wrapper);
// the program's own pauses apply, so the runs are one sheet long.
#include "../link/mockusb.h" // first: before any Qt header

#include "mainwidget.h"
#include "simserver.h"

#include <QtTest>
#include <QtWidgets>

class TestAutoFeedWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startRunsTheSheetsOfTheCount();
    void emptyContainerAsksAndCancelEnds();

private:
    template <typename T> T *child(const char *name) { return m_window->findChild<T *>(QLatin1String(name)); }

    QTemporaryDir m_dir;
    std::unique_ptr<MockUsb> m_bed;
    std::unique_ptr<CutterSimServer> m_sim;
    std::unique_ptr<MainWidget> m_window;
};

// One window in mode 6 for the whole test, with the simulated cutter as its
// USB cutter.
void TestAutoFeedWindow::initTestCase()
{
    m_bed = std::make_unique<MockUsb>();
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
    MainWidget::setSettingsPathOverride(m_dir.filePath("config.ini"));
    SimConfig config;
    config.busyMs = 0;
    m_sim = std::make_unique<CutterSimServer>(config);
    m_bed->plug("1-2", "lp0", 0, m_sim->openPty());
    QFile plot(m_dir.filePath("box.plt"));
    if (plot.open(QIODevice::WriteOnly))
        plot.write("MD0,0,4000,3000,3;\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\nPU400,400;PD3600,400,3600,2600;\n!PG;\n");
    QFile ini(m_dir.filePath("config.ini"));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[KLOM]\nWorkIndex=6\ndevType=USB\nfilePath=" + plot.fileName().toUtf8() + "\n");
    ini.close();
    m_window = std::make_unique<MainWidget>();
    m_window->feedIntervalSecs = 0;
    child<QSpinBox>("feedDist")->setValue(300);
    child<QSpinBox>("ejectDist")->setValue(400);
}

void TestAutoFeedWindow::startRunsTheSheetsOfTheCount()
{
    QCOMPARE(child<QComboBox>("device")->currentText(), QStringLiteral("1-2:1.0"));
    child<QComboBox>("devType")->setCurrentText(QStringLiteral("RJ45")); // auto-feed ignores it
    child<QSpinBox>("count")->setValue(1);
    QStringList states;
    QObject watch; // the connection ends with this test
    connect(m_sim.get(), &CutterSimServer::instructionsReceived, &watch,
            [&] { states << child<QLabel>("stateText")->text(); });

    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);

    const QStringList sent = m_sim->cutter().instructions();
    QCOMPARE(sent.first(), QStringLiteral("CMD:108"));
    QVERIFY(sent.contains(QStringLiteral("PU120,7800")));
    QCOMPARE(sent.last(), QStringLiteral("CMD:105,400"));
    QCOMPARE(m_sim->cutter().finishedSheets().size(), 1);
    QCOMPARE(child<QSpinBox>("count")->value(), 0);
    QVERIFY(states.contains(QStringLiteral("Sheet 1 of 1: cutting...")));
    QCOMPARE(child<QLabel>("stateText")->text(), QCoreApplication::translate("MainWidget", "Idle..."));
}

void TestAutoFeedWindow::emptyContainerAsksAndCancelEnds()
{
    m_sim->cutter().config().sheets = 0;
    const int before = m_sim->cutter().instructions().size();
    child<QSpinBox>("count")->setValue(3);
    QString title, text;
    QTimer operatorAtBox; // answers the box once it is up
    connect(&operatorAtBox, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !title.isEmpty())
            return;
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Cancel)->click();
    });
    operatorAtBox.start(20);

    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);

    // The window's texts, in the compiled-in translation where it has them.
    QCOMPARE(title, QCoreApplication::translate("MainWidget", "No Paper..."));
    QCOMPARE(text, QCoreApplication::translate("MainWidget",
                                               "Check media container...<br>Load media and press <font "
                                               "color=green>OK</font> to Continue,<br>Or press <font "
                                               "color=red>Cancel</font> to Exit!"));
    QCOMPARE(m_sim->cutter().instructions().mid(before), QStringList{"CMD:108"});
    QCOMPARE(child<QSpinBox>("count")->value(), 3);
}

QTEST_MAIN(TestAutoFeedWindow)
#include "tst_autofeedwindow.moc"
