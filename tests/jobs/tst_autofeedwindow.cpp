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
    CutterSimServer sim;
    sim.cutter().config().busyMs = 0;
    sim.cutter().config().sheets = 1;
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
    window.findChild<QSpinBox *>("count")->setValue(2);
    QString title;
    QTimer operatorAtBox; // answers the box once it is up
    operatorAtBox.callOnTimeout([&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            box->button(QMessageBox::Cancel)->click();
        }
    });
    operatorAtBox.start(20);

    QTest::mouseClick(window.findChild<QPushButton *>("startBtn"), Qt::LeftButton);

    QCOMPARE(sim.cutter().finishedSheets().size(), 1);
    QCOMPARE(sim.cutter().instructions().last(), QStringLiteral("CMD:108")); // none after Cancel
    QCOMPARE(title, QCoreApplication::translate("MainWidget", "No Paper..."));
    QCOMPARE(window.findChild<QSpinBox *>("count")->value(), 1);
    QCOMPARE(window.findChild<QLabel *>("stateText")->text(),
             QCoreApplication::translate("MainWidget", "Idle..."));
}

QTEST_MAIN(TestAutoFeedWindow)
#include "tst_autofeedwindow.moc"
