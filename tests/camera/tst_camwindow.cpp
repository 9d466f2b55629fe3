// The main window's camera group against the simulated camera: start and
// stop, the camera going away, the seek toggle, the camera set-up through
// the cutter, and the whole path cam-sim -> socket -> view with seek on.
#include "camview.h"
#include "fakenetwork.h"
#include "mainwidget.h"
#include "pixels.h"
#include "rj45socket.h"

#include <QtTest>
#include <QtWidgets>
#include <QNetworkProxy>

class TestCamWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void startShowsFramesStopBlanks();
    void cameraClosingKeepsLastFrame();
    void invalidAddressDoesNotStart_data();
    void invalidAddressDoesNotStart();
    void seekButtonTexts();
    void setUpReply_data();
    void setUpReply();
    void setUpWhileRunningKeepsCameraRunning();
    void streamWithSeekDrawsMarkAndCode();

private:
    template <typename T> T *child(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QPushButton *button(const char *name) { return child<QPushButton>(name); }
    CamView *view() { return child<CamView>("camView"); }
    void routeThroughFakeNetwork();
    void setUpCamera(const QByteArray &reply);
    bool streaming();

    QTemporaryDir dir;
    QProcess camSim;
    FakeNetwork *network = nullptr;
    MainWidget *window = nullptr;
};

static bool allBlack(const QImage &image) { return countPixels(image, isLit) == 0; }

void TestCamWindow::initTestCase()
{
    QVERIFY(dir.isValid());
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
    camSim.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/tools/cam-sim/cam-sim"),
                 {"--port", "0", "--fps", "30"});
    QVERIFY(camSim.waitForStarted());
    QTRY_VERIFY(camSim.canReadLine());
    const QByteArray line = camSim.readLine().trimmed(); // "cam-sim: listening on 127.0.0.1:<port>"
    const quint16 port = line.mid(line.lastIndexOf(':') + 1).toUShort();
    QVERIFY2(port != 0, line.constData());
    network = new FakeNetwork(port);
}

void TestCamWindow::init()
{
    network->clearRecords();
    window = new MainWidget;
    routeThroughFakeNetwork();
}

void TestCamWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void TestCamWindow::cleanupTestCase()
{
    delete network;
    camSim.kill();
    camSim.waitForFinished();
}

// Both the camera socket and the network cutter link go through the proxy.
void TestCamWindow::routeThroughFakeNetwork()
{
    const QNetworkProxy proxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), network->port());
    const QList<QTcpSocket *> sockets = window->findChildren<QTcpSocket *>();
    QCOMPARE(sockets.size(), 2); // the camera socket and rj45Socket
    for (QTcpSocket *socket : sockets)
        socket->setProxy(proxy);
}

void TestCamWindow::setUpCamera(const QByteArray &reply)
{
    network->setSetupReply(reply);
    child<QComboBox>("devType")->setCurrentText(QStringLiteral("RJ45"));
    child<QLineEdit>("deviceIP")->setText(QStringLiteral("127.0.0.1"));
    button("connectBtn")->click();
}

bool TestCamWindow::streaming()
{
    return button("startCamBtn")->text() == MainWidget::tr("Stop");
}

void TestCamWindow::startShowsFramesStopBlanks()
{
    QPushButton *start = button("startCamBtn");
    QCOMPARE(start->text(), MainWidget::tr("Start"));
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("127.0.0.1"));
    start->click();
    QVERIFY(streaming());
    QVERIFY(start->isEnabled());
    QCOMPARE(network->targets(), QStringList{"127.0.0.1:5000"});
    QTRY_VERIFY(!allBlack(view()->frame));

    start->click();
    QCOMPARE(start->text(), MainWidget::tr("Start"));
    QCOMPARE(view()->frame.size(), QSize(640, 480));
    QVERIFY(allBlack(view()->frame));
    QTest::qWait(300); // frames already on the way are not shown any more
    QVERIFY(allBlack(view()->frame));
    QCOMPARE(start->text(), MainWidget::tr("Start"));
}

void TestCamWindow::cameraClosingKeepsLastFrame()
{
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("127.0.0.1"));
    button("startCamBtn")->click();
    QTRY_VERIFY(!allBlack(view()->frame));
    network->dropCameraClients();
    QTRY_COMPARE(button("startCamBtn")->text(), MainWidget::tr("Start"));
    QVERIFY(!allBlack(view()->frame));
}

void TestCamWindow::invalidAddressDoesNotStart_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("number out of range") << QStringLiteral("127.0.0.256");
    QTest::newRow("reply with semicolon") << QStringLiteral("127.0.0.1;");
    QTest::newRow("host name") << QStringLiteral("localhost");
}

void TestCamWindow::invalidAddressDoesNotStart()
{
    QFETCH(QString, address);
    child<QLineEdit>("ipAddr")->setText(address);
    button("startCamBtn")->click();
    QCOMPARE(button("startCamBtn")->text(), MainWidget::tr("Start"));
    QVERIFY(button("startCamBtn")->isEnabled());
    QVERIFY(network->targets().isEmpty());
}

void TestCamWindow::seekButtonTexts()
{
    QPushButton *seek = button("enSeeK");
    QCOMPARE(seek->text(), MainWidget::tr("EnSeek"));
    QVERIFY(!view()->seek);
    seek->click();
    QCOMPARE(seek->text(), MainWidget::tr("DeSeek"));
    QVERIFY(view()->seek);
    seek->click();
    QCOMPARE(seek->text(), MainWidget::tr("EnSeek"));
    QVERIFY(!view()->seek);
}

void TestCamWindow::setUpReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("starts");
    QTest::newRow("address") << QByteArray("192.168.137.137") << true;
    QTest::newRow("address with semicolon") << QByteArray("192.168.137.137;") << false;
    QTest::newRow("not an address") << QByteArray("NOCAM;") << false;
}

void TestCamWindow::setUpReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, starts);
    child<QLineEdit>("ssid")->setText(QStringLiteral("shop,floor"));
    child<QLineEdit>("passwd")->setText(QStringLiteral("p;ss"));
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("10.0.0.9"));
    setUpCamera(reply);

    // Status poll first, then the command exactly as typed, nothing escaped.
    const QString sent = network->cutterInput();
    QVERIFY2(sent.startsWith(QLatin1String("CMD:10;")), qPrintable(sent));
    QVERIFY2(sent.endsWith(QLatin1String("CMD:10;CMD:107,shop,floor,p;ss;")), qPrintable(sent));
    QVERIFY(button("connectBtn")->isEnabled());
    QCOMPARE(child<QLineEdit>("ipAddr")->text(), starts ? QString::fromLatin1(reply) : "10.0.0.9");
    QCOMPARE(streaming(), starts);
    QCOMPARE(network->targets().contains(QStringLiteral("192.168.137.137:5000")), starts);
    QVERIFY(!network->targets().contains(QStringLiteral("10.0.0.9:5000")));
}

void TestCamWindow::setUpWhileRunningKeepsCameraRunning()
{
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("127.0.0.1"));
    button("startCamBtn")->click();
    QVERIFY(streaming());
    // The set-up's click stops the running camera, its second start brings it
    // back at the new address; the stop's late notice must not undo that.
    setUpCamera("127.0.0.2");
    QCOMPARE(child<QLineEdit>("ipAddr")->text(), QStringLiteral("127.0.0.2"));
    QVERIFY(streaming());
    QTest::qWait(200);
    QVERIFY(streaming());
    QCOMPARE(network->targets().filter(":5000"), (QStringList{"127.0.0.1:5000", "127.0.0.2:5000"}));
    view()->resetImage();
    QTRY_VERIFY(!allBlack(view()->frame)); // frames keep coming
}

void TestCamWindow::streamWithSeekDrawsMarkAndCode()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    button("enSeeK")->click();
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("127.0.0.1"));
    button("startCamBtn")->click();
    QVERIFY(streaming());
    QTRY_VERIFY_WITH_TIMEOUT(view()->recognitions() >= 10, 10000);
    QTRY_VERIFY(view()->fps >= 5); // paints counted over a whole second

    const QImage shot = view()->grab().toImage();
    const int green = countPixels(shot, isGreen);
    const int blue = countPixels(shot, isBlue, QRect(0, 0, shot.width(), 20));
    QVERIFY2(green > 100, qPrintable(QString::number(green)));   // the mark circle
    QVERIFY2(blue > 20, qPrintable(QString::number(blue)));      // "QR Code:..."
}

QTEST_MAIN(TestCamWindow)
#include "tst_camwindow.moc"
