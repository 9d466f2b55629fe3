// The main window's camera group against the simulated camera (cam-sim) and a
// fake cutter, both on a loopback address of this test's own, so the fixed
// ports 5000 and 9100 are free: start and stop, the camera set-up through the
// cutter, the camera going away.
#include "camview.h"
#include "cutterjobs.h"
#include "cuttersession.h"
#include "mainwidget.h"

#include <QtTest>
#include <QtWidgets>
#include <QTcpServer>

class TestCamWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { delete window; }
    void setUpReply_data();
    void setUpReply();
    void startStopRestartUntilCameraGoes();

private:
    template <typename T = QPushButton> T *child(const char *name) { return window->findChild<T *>(name); }
    void setUpCamera(const QByteArray &reply);
    bool streaming() { return child("startCamBtn")->text() == MainWidget::tr("Stop"); }

    QTemporaryDir dir;
    QString address; // 127.x.y.z
    QProcess camSim; // killed with the test
    QTcpServer cutter;
    QByteArray statusReply, setupReply, cutterInput;
    MainWidget *window = nullptr;
};

// The black frame a view starts with and returns to.
static bool allBlack(const QImage &image) { return image == CamView().frame; }

void TestCamWindow::initTestCase()
{
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
    auto *random = QRandomGenerator::global();
    address = QStringLiteral("127.%1.%2.1").arg(random->bounded(1, 255)).arg(random->bounded(256));
    QVERIFY(cutter.listen(QHostAddress(address), 9100));
    connect(&cutter, &QTcpServer::newConnection, this, [this] {
        QTcpSocket *client = cutter.nextPendingConnection();
        connect(client, &QTcpSocket::readyRead, this, [this, client] {
            cutterInput += client->readAll(); // answers the status poll and the camera set-up
            if (cutterInput.endsWith("CMD:10;"))
                client->write(statusReply);
            else if (cutterInput.contains("CMD:107,") && cutterInput.endsWith(';'))
                client->write(setupReply);
        });
    });
    camSim.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/tools/cam-sim/cam-sim"), {"--host", address, "--fps", "30"});
    QVERIFY(camSim.waitForReadyRead(5000)); // "cam-sim: listening on ..."
}

void TestCamWindow::init()
{
    statusReply = "FREE;";
    cutterInput.clear();
    window = new MainWidget;
}

void TestCamWindow::setUpCamera(const QByteArray &reply)
{
    setupReply = reply;
    child<QComboBox>("devType")->setCurrentText(QStringLiteral("RJ45"));
    child<QLineEdit>("deviceIP")->setText(address);
    auto *session = window->findChild<CutterSession *>();
    session->options.cameraSetupIdleMs = 1500; // a busy cutter is given up on after a while
    QSignalSpy over(session, &CutterSession::finished);
    child("connectBtn")->click();
    QVERIFY(!child("connectBtn")->isEnabled()); // until the set-up has ended
    QVERIFY(over.wait(5000));
}

void TestCamWindow::setUpReply_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("starts");
    QTest::newRow("address") << QByteArray("FREE;") << address << true;
    QTest::newRow("address with semicolon") << QByteArray("FREE;") << address + ';' << false;
    QTest::newRow("cutter never idle") << QByteArray("BUSY;") << address << false;
}

void TestCamWindow::setUpReply()
{
    QFETCH(QByteArray, status);
    QFETCH(QString, reply);
    QFETCH(bool, starts);
    statusReply = status;
    child<QLineEdit>("ssid")->setText(QStringLiteral("shop,floor"));
    child<QLineEdit>("passwd")->setText(QStringLiteral("p;ss"));
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("10.0.0.9"));
    setUpCamera(reply.toLatin1());
    QTest::qWait(100); // a command still on its way reaches the cutter

    // Status poll first, then the command exactly as typed, nothing escaped.
    QVERIFY2(cutterInput.startsWith("CMD:10;"), cutterInput.constData());
    QCOMPARE(cutterInput.endsWith("CMD:10;CMD:107,shop,floor,p;ss;"), status == "FREE;");
    QVERIFY(child("connectBtn")->isEnabled());
    QCOMPARE(child<QLineEdit>("ipAddr")->text(), starts ? reply : "10.0.0.9");
    QCOMPARE(streaming(), starts);
    // The set-up's failure stays on the result line (a camera that starts says so instead).
    const QString result = child<QLabel>("resultText")->text();
    const QString said = starts ? MainWidget::tr("Camera: showing %1").arg(reply)
        : status == "FREE;"     ? CutterJobs::tr("%1: the cutter gave no camera address").arg(CutterJobs::tr("Camera set-up"))
                                : CutterJobs::tr("%1: the cutter did not become idle within %2")
                                      .arg(CutterJobs::tr("Camera set-up"), durationText(1500));
    QVERIFY2(result.endsWith(said), qPrintable(result));
}

// Last, as the camera is switched off for good at its end.
void TestCamWindow::startStopRestartUntilCameraGoes()
{
    child<QLineEdit>("ipAddr")->setText(address + ';'); // not an address: nothing starts
    child("startCamBtn")->click();
    QVERIFY(!streaming());
    child<QLineEdit>("ipAddr")->setText(address);
    child("startCamBtn")->click();
    QVERIFY(streaming());
    QTRY_VERIFY(!allBlack(child<CamView>("camView")->frame));

    // Stop while the notice of data already received is still queued: none
    // of that data is shown.
    QTcpSocket *camSocket = window->findChild<QTcpSocket *>(); // made before the cutter link
    QMetaObject::Connection once = connect(camSocket, &QTcpSocket::readyRead, this, [&] {
        disconnect(once);
        child("startCamBtn")->click();
    });
    QThread::msleep(300); // several frames arrive meanwhile
    QTRY_VERIFY(!streaming());
    QTest::qWait(300);
    QVERIFY(allBlack(child<CamView>("camView")->frame));

    child("startCamBtn")->click();
    QVERIFY(streaming());
    // The set-up's click stops the running camera, its second start brings it
    // back; the stop's late notice must not undo that.
    setUpCamera(address.toLatin1());
    QTest::qWait(200);
    QVERIFY(streaming());
    QTRY_VERIFY(!allBlack(child<CamView>("camView")->frame)); // frames come again

    camSim.kill(); // the camera going away ends the stream but keeps the last frame
    QTRY_VERIFY(!streaming());
    QVERIFY(!allBlack(child<CamView>("camView")->frame));
}

QTEST_MAIN(TestCamWindow)
#include "tst_camwindow.moc"
