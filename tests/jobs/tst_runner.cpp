// The Start/Stop button, the mode dispatch, the trigger keys and the QR file names.
#include "jobrunner.h"
#include "jobtesting.h"
#include "triggerkeys.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// A host whose job runs while the runner says so (Stop is the button).
struct RunnerHost : FakeHost
{
    JobRunner *runner = nullptr;
    bool jobRunning() const override { return runner->running(); }
};

// The window's widgets the runner touches, and the jobs on the simulated cutter.
struct RunnerRig : BasicRig<RunnerHost>
{
    RunnerRig()
    {
        startBtn.setText(QStringLiteral("Start"));
        devType.addItems({QStringLiteral("USB"), QStringLiteral("RJ45")});
        runner = std::make_unique<JobRunner>(RunnerControls{&startBtn, &connectBtn, &devType, &prevMode, &nextMode,
                                                            &filePath, &setFilePath, &device, &stateText},
                                             *jobs, usb);
        host.runner = runner.get();
    }
    QList<QWidget *> locked() { return {&connectBtn, &devType, &prevMode, &nextMode, &filePath, &setFilePath}; }

    QPushButton startBtn, connectBtn, prevMode, nextMode, setFilePath;
    QComboBox devType, device;
    QLineEdit filePath;
    QLabel stateText;
    std::unique_ptr<JobRunner> runner;
};

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void emptyPlotFileReturnsToIdle_data();
    void emptyPlotFileReturnsToIdle();
    void stopDuringMatrixJobReturnsToIdle();
    void triggerKeys_data();
    void triggerKeys();
    void qrFileNames_data();
    void qrFileNames();
};

void TestRunner::emptyPlotFileReturnsToIdle_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("devType");
    QTest::addColumn<int>("devices");
    QTest::addColumn<bool>("connectEnabled");
    QTest::newRow("USB, no cutter listed") << 2 << "USB" << 0 << false;
    QTest::newRow("USB, a cutter listed") << 0 << "USB" << 1 << true;
    QTest::newRow("RJ45, matrix") << 3 << "RJ45" << 0 << true;
}

void TestRunner::emptyPlotFileReturnsToIdle()
{
    QFETCH(int, mode);
    QFETCH(QString, devType);
    QFETCH(int, devices);
    QFETCH(bool, connectEnabled);
    RunnerRig r;
    r.devType.setCurrentText(devType);
    for (int i = 0; i < devices; ++i)
        r.device.addItem(QStringLiteral("1-%1:1.0").arg(i + 2));
    r.host.settings.plotFile = r.writePlot("empty.plt", QString());
    r.stateText.setText(QStringLiteral("something else"));
    r.runner->clicked(mode);
    QCOMPARE(r.startBtn.text(), QStringLiteral("Start"));
    QVERIFY(r.startBtn.isEnabled());
    QCOMPARE(r.stateText.text(), QStringLiteral("Idle..."));
    QCOMPARE(r.connectBtn.isEnabled(), connectEnabled);
    for (QWidget *w : r.locked().mid(1))
        QVERIFY(w->isEnabled());
    QCOMPARE(r.received(), QString());
    QCOMPARE(r.usb.device(), r.device.currentText()); // the runner selected the device
}

void TestRunner::stopDuringMatrixJobReturnsToIdle()
{
    RunnerRig r;
    r.devType.setCurrentText(QStringLiteral("RJ45"));
    r.usePlots();

    bool lockedWhileWaiting = false;
    QString buttonWhileWaiting, labelWhileWaiting;
    bool stopShown = false;
    QTimer probe;
    probe.callOnTimeout([&] {
        if (!TriggerKeys::armed() || !buttonWhileWaiting.isEmpty())
            return;
        buttonWhileWaiting = r.startBtn.text();
        labelWhileWaiting = r.host.states.last();
        lockedWhileWaiting = true;
        for (QWidget *w : r.locked())
            lockedWhileWaiting = lockedWhileWaiting && !w->isEnabled();
        r.runner->clicked(1); // Stop, arriving inside the job's wait
        stopShown = r.startBtn.text() == QLatin1String("Start") && !r.startBtn.isEnabled();
    });
    probe.start(10);
    r.runner->clicked(1);
    QCOMPARE(buttonWhileWaiting, QStringLiteral("Stop"));
    QVERIFY(labelWhileWaiting.contains(QLatin1String("Waiting for the trigger")));
    QVERIFY(lockedWhileWaiting);
    QVERIFY(stopShown);
    QCOMPARE(r.startBtn.text(), QStringLiteral("Start"));
    QVERIFY(r.startBtn.isEnabled());
    QCOMPARE(r.stateText.text(), QStringLiteral("Idle..."));
    QVERIFY(!TriggerKeys::armed());
    QCOMPARE(r.sim->cutter().finishedSheets().size(), 1);
}

void TestRunner::triggerKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("windowActive");
    QTest::addColumn<bool>("armed");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QString>("typed");
    QTest::newRow("Space, window active") << int(Qt::Key_Space) << true << true << true << "";
    QTest::newRow("Space, window inactive") << int(Qt::Key_Space) << false << true << false << " ";
    QTest::newRow("Space, not armed") << int(Qt::Key_Space) << true << false << false << "";
    QTest::newRow("Volume Up, window inactive") << int(Qt::Key_VolumeUp) << false << true << true << "";
    QTest::newRow("Volume Up, not armed") << int(Qt::Key_VolumeUp) << true << false << false << "";
    QTest::newRow("other key") << int(Qt::Key_A) << true << true << false << "a";
}

void TestRunner::triggerKeys()
{
    QFETCH(int, key);
    QFETCH(bool, windowActive);
    QFETCH(bool, armed);
    QFETCH(bool, pressed);
    QFETCH(QString, typed);
    QLineEdit edit;
    TriggerKeys::setWindowActive(windowActive);
    bool waiting = true;
    bool result = false;
    {
        TriggerListener listener;
        const auto click = [&] { QTest::keyClick(&edit, Qt::Key(key), Qt::NoModifier); };
        if (armed) {
            QTimer::singleShot(0, click);
            QTimer::singleShot(100, [&] { waiting = false; });
            result = TriggerKeys::waitForTrigger([&] { return waiting; });
        } else {
            click();
        }
        QCOMPARE(edit.text(), typed);
    }
    QCOMPARE(result, pressed);
    QVERIFY(!TriggerKeys::armed());
    // Without a listener (no matrix job) every key reaches the window.
    edit.clear();
    QTest::keyClick(&edit, Qt::Key_Space);
    QCOMPARE(edit.text(), QStringLiteral(" "));
    TriggerKeys::setWindowActive(false);
}

void TestRunner::qrFileNames_data()
{
    QTest::addColumn<QString>("plotFile");
    QTest::addColumn<QString>("qrText");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/data/jobs/base.plt" << "A-17" << "/data/jobs/A-17.plt";
    QTest::newRow("folder name with .plt") << "/data/my.plt files/base.plt" << "A" << "/data/my.plt files/A.plt";
    QTest::newRow("file in working folder") << "base.plt" << "A" << "./A.plt";
    QTest::newRow("semicolon kept") << "/d/base.plt" << "A;" << "/d/A;.plt";
    QTest::newRow("empty") << "/d/base.plt" << "" << "";
    QTest::newRow("slash") << "/d/base.plt" << "/etc/passwd" << "";
    QTest::newRow("backslash") << "/d/base.plt" << "a\\b" << "";
    QTest::newRow("dot dot") << "/d/base.plt" << "..x" << "";
    QTest::newRow("NUL") << "/d/base.plt" << QString(QChar(0)) + "a" << "";
    QTest::newRow("DEL") << "/d/base.plt" << QString(QChar(0x7f)) << "";
    QTest::newRow("tab") << "/d/base.plt" << "a\tb" << "";
}

void TestRunner::qrFileNames()
{
    QFETCH(QString, plotFile);
    QFETCH(QString, qrText);
    QFETCH(QString, expected);
    QCOMPARE(qrPlotFile(plotFolder(plotFile), qrText), expected);
}

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
