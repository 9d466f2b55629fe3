// The main window runs an auto-feed mode over the USB link: the Start button
// and the controls it locks, the count spin box going down, the "No Paper..."
// box, the state label; and the trigger keys of the matrix jobs. The
// simulated cutter sits behind a mocked udev node (run under umockdev-wrapper);
// the program's own pauses apply, so the run is one sheet long.
#include "../link/mockusb.h" // first: before any Qt header

#include "mainwidget.h"
#include "simserver.h"

#include "triggerkeys.h"

#include <QtTest>
#include <QtWidgets>

namespace {
// The controls a running job locks; Start stays usable as Stop.
const char *const kLocked[] = {"connectBtn", "devType", "prevMode", "nextMode", "filePath",
                               "setFilePath"};

bool allEnabled(const QWidget &window, bool enabled)
{
    for (const char *name : kLocked) {
        if (window.findChild<QWidget *>(name)->isEnabled() != enabled)
            return false;
    }
    return true;
}

// config.ini in `dir` for mode 6 with the link type RJ45 (auto-feed ignores
// it) and a one-path plot file; false when a file could not be written.
bool writeModeSixConfig(const QTemporaryDir &dir)
{
    MainWidget::setSettingsPathOverride(dir.filePath("config.ini"));
    QFile plot(dir.filePath("box.plt"));
    QFile ini(dir.filePath("config.ini"));
    if (!plot.open(QIODevice::WriteOnly) || !ini.open(QIODevice::WriteOnly))
        return false;
    plot.write("MD0,0,4000,3000,3;\nSP2;\nPU400,400;PD3600,400,3600,2600;\n!PG;\n");
    ini.write("[KLOM]\nWorkIndex=6\ndevType=RJ45\nfilePath=" + plot.fileName().toUtf8() + "\n");
    return true;
}
} // namespace

class TestAutoFeedWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); } // the run log goes to a test folder
    void runCountsDownUntilCancelInPaperBox();
    void cutterHeldByAnotherProgram();
    void triggerKeys_data();
    void triggerKeys();
};

// Mode 6 with the link type RJ45 (auto-feed ignores it), two sheets to cut
// and one in the container: the first is cut, the paper check of the second
// raises the box, and Cancel ends the job.
void TestAutoFeedWindow::runCountsDownUntilCancelInPaperBox()
{
    MockUsb bed;
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
    QTemporaryDir dir;
    QVERIFY(writeModeSixConfig(dir));
    CutterSimServer sim;
    sim.cutter().config().busyMs = 0;
    sim.cutter().config().sheets = 1;
    bed.plug("1-2", "lp0", 0, sim.openUsbNode());
    MainWidget window;
    window.feedIntervalSecs = 0;
    window.findChild<QSpinBox *>("count")->setValue(2);
    auto *start = window.findChild<QPushButton *>("startBtn");
    QString title, startWhileRunning, originWhileRunning;
    bool lockedWhileRunning = false;
    QTimer operatorAtBox; // answers the box once it is up
    operatorAtBox.callOnTimeout([&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            startWhileRunning = start->text();
            lockedWhileRunning = allEnabled(window, false) && start->isEnabled();
            window.findChild<QPushButton *>("setOrigin")->click(); // refused: the job holds the cutter
            originWhileRunning = window.findChild<QLabel *>("stateText")->text();
            box->button(QMessageBox::Cancel)->click();
        }
    });
    operatorAtBox.start(20);

    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(start->text(), QCoreApplication::translate("MainWidget", "Start"), 30000);

    QCOMPARE(sim.cutter().finishedSheets().size(), 1);
    QCOMPARE(sim.cutter().instructions().last(), QStringLiteral("CMD:108")); // none after Cancel
    QCOMPARE(title, QCoreApplication::translate("MainWidget", "No Paper..."));
    QCOMPARE(window.findChild<QSpinBox *>("count")->value(), 1);
    QCOMPARE(window.findChild<QLabel *>("stateText")->text(),
             QCoreApplication::translate("MainWidget", "Idle..."));
    // The result line keeps how the run ended, with the time.
    const QString result = window.findChild<QLabel *>("resultText")->text();
    QVERIFY2(result.endsWith(QCoreApplication::translate("CutterJobs", "Stopped: no paper was loaded (%1 sheets done)")
                                 .arg(1)),
             qPrintable(result));
    QVERIFY(QTime::fromString(result.left(5), QStringLiteral("HH:mm")).isValid());
    QCOMPARE(startWhileRunning, QCoreApplication::translate("MainWidget", "Stop"));
    QCOMPARE(originWhileRunning,
             QCoreApplication::translate("MainWidget", "The cutter is busy; try again when it has finished"));
    QVERIFY(!sim.cutter().instructions().contains(QStringLiteral("CMD:203"))); // no position query
    QVERIFY(lockedWhileRunning);
    QCOMPARE(start->text(), QCoreApplication::translate("MainWidget", "Start"));
    QVERIFY(allEnabled(window, true) && start->isEnabled());
}

// Another program holds the cutter's node: Start ends at once, nothing is
// sent, and the state line says why instead of "Idle...".
void TestAutoFeedWindow::cutterHeldByAnotherProgram()
{
    MockUsb bed;
    QTemporaryDir dir;
    QVERIFY(writeModeSixConfig(dir));
    CutterSimServer sim;
    const QString node = sim.openUsbNode();
    bed.plug("1-2", "lp0", 0, node);
    MainWidget window;
    window.findChild<QSpinBox *>("count")->setValue(1);
    QFile other(node);
    QVERIFY(other.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The cutter is in use by another program"));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(window.findChild<QPushButton *>("startBtn"), Qt::LeftButton);
    QTRY_COMPARE(window.findChild<QLabel *>("stateText")->text(),
                 QCoreApplication::translate("MainWidget", "The cutter is in use by another program"));
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(sim.cutter().instructions().isEmpty());
    QVERIFY(allEnabled(window, true));
    QCOMPARE(window.findChild<QSpinBox *>("count")->value(), 1);
    QVERIFY(window.findChild<QLabel *>("resultText")->text().endsWith(
        QCoreApplication::translate("CutterJobs", "%1: %2")
            .arg(QCoreApplication::translate("CutterJobs", "Not started"),
                 QCoreApplication::translate("CutterJobs", "the cutter is in use by another program"))));
}

void TestAutoFeedWindow::triggerKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("windowActive");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QString>("typed");
    QTest::newRow("Space, window active") << int(Qt::Key_Space) << true << true << "";
    QTest::newRow("Space, window inactive") << int(Qt::Key_Space) << false << false << " ";
    QTest::newRow("Volume Up, window inactive") << int(Qt::Key_VolumeUp) << false << true << "";
    QTest::newRow("other key") << int(Qt::Key_A) << true << false << "a";
}

// While a matrix job runs, a listener turns the trigger keys into triggers;
// without one (no matrix job) every key reaches the window.
void TestAutoFeedWindow::triggerKeys()
{
    QFETCH(int, key);
    QFETCH(bool, windowActive);
    QFETCH(bool, pressed);
    QFETCH(QString, typed);
    QLineEdit edit;
    TriggerKeys::setWindowActive(windowActive);
    int triggers = 0;
    {
        TriggerListener listener([&triggers] { ++triggers; });
        QTest::keyClick(&edit, Qt::Key(key));
        QCOMPARE(triggers, pressed ? 1 : 0);
        QCOMPARE(edit.text(), typed);
    }
    edit.clear();
    QTest::keyClick(&edit, Qt::Key_Space);
    QCOMPARE(edit.text(), QStringLiteral(" "));
    QCOMPARE(triggers, pressed ? 1 : 0);
    TriggerKeys::setWindowActive(false);
}

QTEST_MAIN(TestAutoFeedWindow)
#include "tst_autofeedwindow.moc"
