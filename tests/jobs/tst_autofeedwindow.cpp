// The main window runs an auto-feed mode over the USB link: the Start button,
// the count spin box going down, the "No Paper..." box, the state label. The
// simulated cutter sits behind a mocked udev node (run under umockdev-wrapper);
// the program's own pauses apply, so the run is one sheet long.
#include "../link/mockusb.h" // first: before any Qt header

#include "mainwidget.h"
#include "simserver.h"

#include <QtTest>
#include <QtWidgets>

class TestAutoFeedWindow : public QObject
{
    Q_OBJECT
private slots:
    void runCountsDownUntilCancelInPaperBox();
};

// Mode 6 with the link type RJ45 (auto-feed ignores it), two sheets to cut
// and one in the container: the first is cut, the paper check of the second
// raises the box, and Cancel ends the job.
void TestAutoFeedWindow::runCountsDownUntilCancelInPaperBox()
{
    MockUsb bed;
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
    QTemporaryDir dir;
    MainWidget::setSettingsPathOverride(dir.filePath("config.ini"));
    SimConfig config;
    config.busyMs = 0;
    config.sheets = 1;
    CutterSimServer sim(config);
    bed.plug("1-2", "lp0", 0, sim.openPty());
    QFile plot(dir.filePath("box.plt"));
    QVERIFY(plot.open(QIODevice::WriteOnly));
    plot.write("MD0,0,4000,3000,3;\nSP2;\nPU400,400;PD3600,400,3600,2600;\n!PG;\n");
    plot.close();
    QFile ini(dir.filePath("config.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[KLOM]\nWorkIndex=6\ndevType=RJ45\nfilePath=" + plot.fileName().toUtf8() + "\n");
    ini.close();
    MainWidget window;
    window.feedIntervalSecs = 0;
    const auto child = [&](const char *name) { return window.findChild<QWidget *>(name); };
    qobject_cast<QSpinBox *>(child("ejectDist"))->setValue(400);
    auto *count = qobject_cast<QSpinBox *>(child("count"));
    count->setValue(2);
    auto *state = qobject_cast<QLabel *>(child("stateText"));
    QStringList states;
    connect(&sim, &CutterSimServer::instructionsReceived, [&] { states << state->text(); });
    QString title;
    QTimer operatorAtBox; // answers the box once it is up
    operatorAtBox.callOnTimeout([&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && title.isEmpty()) {
            title = box->windowTitle();
            box->button(QMessageBox::Cancel)->click();
        }
    });
    operatorAtBox.start(20);

    QTest::mouseClick(qobject_cast<QPushButton *>(child("startBtn")), Qt::LeftButton);

    QCOMPARE(sim.cutter().finishedSheets().size(), 1);
    QCOMPARE(sim.cutter().instructions().mid(sim.cutter().instructions().indexOf("CMD:6")),
             (QStringList{"CMD:6", "CMD:111", "CMD:105,400", "CMD:108"})); // Cancel: nothing more
    QCOMPARE(title, QCoreApplication::translate("MainWidget", "No Paper..."));
    QVERIFY(states.contains(QStringLiteral("Sheet 1 of 2: cutting...")));
    QCOMPARE(count->value(), 1);
    QCOMPARE(state->text(), QCoreApplication::translate("MainWidget", "Idle..."));
}

QTEST_MAIN(TestAutoFeedWindow)
#include "tst_autofeedwindow.moc"
