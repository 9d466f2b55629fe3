// Origin commands and the automatic calibration against the simulated cutter
// over the network link, and their failures.
#include "jobtesting.h"

#include <QtTest>

Q_DECLARE_METATYPE(JobLink)

class TestCarriage : public QObject
{
    Q_OBJECT
private slots:
    void setThenBackOrigin();
    void originFailures_data();
    void originFailures();
    void calibrationSequence_data();
    void calibrationSequence();
    void calibrationDrawsPatternUnderCamera();
    void calibrationEndsEarly_data();
    void calibrationEndsEarly();
};

// Set stores the carriage position; Back moves by the difference to it.
void TestCarriage::setThenBackOrigin()
{
    SimRig rig;
    rig.sim->cutter().config().scriptedReplies = QStringList{"1200,-35;", "1000,100;"};
    int x = 7, y = 7;
    rig.jobs->setOrigin(JobLink::Network, x, y);
    QCOMPARE(x, 1200);
    QCOMPARE(y, -35);
    QCOMPARE(rig.received(), QStringLiteral("CMD:203;"));
    rig.jobs->backOrigin(JobLink::Network, x, y);
    QCOMPARE(rig.received(), QStringLiteral("CMD:203;CMD:203;SP2;PU200,-135;CMD:10;CMD:202;"));
    QCOMPARE(rig.host.originBoxes, (QList<bool>{false, true}));
    QCOMPARE(rig.host.connectErrors, 0);
}

void TestCarriage::originFailures_data()
{
    QTest::addColumn<bool>("back");
    QTest::addColumn<JobLink>("link");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("errorBoxes");
    for (bool back : {false, true}) {
        const char *op = back ? "back" : "set";
        QTest::addRow("%s, invalid address", op) << back << JobLink::Network << "127.0.0" << "" << 0;
        QTest::addRow("%s, cutter off", op) << back << JobLink::Network << "127.0.0.1" << "off" << 1;
        QTest::addRow("%s, connection closed unanswered", op)
            << back << JobLink::Network << "127.0.0.1" << "hang up" << 1;
        QTest::addRow("%s, USB cutter absent", op) << back << JobLink::Usb << "" << "" << 1;
    }
}

void TestCarriage::originFailures()
{
    QFETCH(bool, back);
    QFETCH(JobLink, link);
    QFETCH(QString, address);
    QFETCH(QString, fault);
    QFETCH(int, errorBoxes);
    SimRig rig;
    rig.host.settings.cutterAddress = address;
    rig.host.settings.usbDevice = QStringLiteral("9-9:1.0");
    if (fault == QLatin1String("off"))
        rig.sim->stopListening();
    if (fault == QLatin1String("hang up")) {
        rig.sim->faults().silent = true;
        QTimer::singleShot(200, rig.sim.get(), [&] { rig.sim->dropConnection(); });
    }
    int x = 1200, y = -35;
    if (back)
        rig.jobs->backOrigin(link, x, y);
    else
        rig.jobs->setOrigin(link, x, y);
    QCOMPARE(rig.host.connectErrors, errorBoxes);
    QVERIFY(rig.host.originBoxes.isEmpty()); // never "OK!" for a failure
    QCOMPARE(x, 1200);                       // the origin is unchanged
    QCOMPARE(y, -35);
    QVERIFY(!rig.received().contains(QLatin1String("PU"))); // the carriage never moved
}

void TestCarriage::calibrationSequence_data()
{
    QTest::addColumn<QStringList>("marks");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<int>("completed");
    QTest::newRow("centred") << QStringList{"320,240,25;"}
                             << "CMD:106;CMD:201,40,2;PU0,0;CMD:10;CMD:106;CMD:201,40,2;" << 1;
    QTest::newRow("1 mm off, then centred") << QStringList{"330,250,25;", "320,240,25;"}
                                            << "CMD:106;CMD:201,39,1;PU40,40;CMD:10;CMD:106;CMD:201,39,1;" << 1;
    QTest::newRow("labelled reply") << QStringList{"X=330,Y=250,D=25;", "X=325,Y=240,D=25;"}
                                    << "CMD:106;CMD:201,39,1;PU40,40;CMD:10;CMD:106;CMD:201,39,0.5;" << 1;
    QTest::newRow("exactly 5 mm is accepted") << QStringList{"370,190,25;", "320,240,25;"}
                                              << "CMD:106;CMD:201,45,-3;PU-200,200;CMD:10;CMD:106;CMD:201,45,-3;"
                                              << 1;
    QTest::newRow("6 mm off") << QStringList{"380,240,25;"} << "PU0,0;CMD:10;CMD:106;" << 0;
    QTest::newRow("no mark") << QStringList{} << "PU0,0;CMD:10;CMD:106;" << 0;
    QTest::newRow("mark of size 0") << QStringList{"330,250,0;"} << "PU0,0;CMD:10;CMD:106;" << 0;
    QTest::newRow("only two numbers") << QStringList{"330,250;"} << "PU0,0;CMD:10;CMD:106;" << 0;
    QTest::newRow("second reading lost") << QStringList{"330,250,25;", "NOMARK;"}
                                         << "CMD:106;CMD:201,39,1;PU40,40;CMD:10;CMD:106;" << 0;
}

void TestCarriage::calibrationSequence()
{
    QFETCH(QStringList, marks);
    QFETCH(QString, tail);
    QFETCH(int, completed);
    SimRig rig;
    rig.sim->cutter().config().markReplies = marks;
    rig.jobs->autoAdjustNet();
    const QString received = rig.received();
    QVERIFY(received.startsWith(QLatin1String("IN;PA;")));
    QVERIFY2(received.endsWith(tail), qPrintable(received.right(90)));
    QCOMPARE(rig.host.calibrationDone, completed);
}

void TestCarriage::calibrationDrawsPatternUnderCamera()
{
    SimRig rig;
    rig.sim->cutter().config().markReplies = QStringList{"320,240,25;"};
    rig.jobs->autoAdjustNet();
    QRectF drawn;
    for (const SimLine &line : rig.sim->cutter().currentSheet().lines)
        drawn |= QRectF(line.line.p1(), line.line.p2()).normalized();
    // A mark of about 5 mm centred 40 mm and 2 mm from the origin.
    QVERIFY(qAbs(drawn.center().x() - 1600) < 5 && qAbs(drawn.center().y() - 80) < 5);
    QVERIFY(drawn.width() > 150 && drawn.width() < 250);
}

void TestCarriage::calibrationEndsEarly_data()
{
    QTest::addColumn<JobLink>("link");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("cutterOn");
    QTest::addColumn<bool>("patternPresent");
    QTest::addColumn<int>("errorBoxes");
    QTest::newRow("cancelled") << JobLink::Network << false << "127.0.0.1" << true << true << 0;
    QTest::newRow("empty address") << JobLink::Network << true << "" << true << true << 0;
    QTest::newRow("no pattern file") << JobLink::Network << true << "127.0.0.1" << true << false << 0;
    QTest::newRow("cutter off") << JobLink::Network << true << "127.0.0.1" << false << true << 1;
    // No USB cutter: nothing can be measured, so no old reply may be taken for one.
    QTest::newRow("USB cutter absent") << JobLink::Usb << true << "" << true << true << 1;
}

void TestCarriage::calibrationEndsEarly()
{
    QFETCH(JobLink, link);
    QFETCH(bool, confirm);
    QFETCH(QString, address);
    QFETCH(bool, cutterOn);
    QFETCH(bool, patternPresent);
    QFETCH(int, errorBoxes);
    SimRig rig;
    rig.sim->cutter().config().markReplies = QStringList{"320,240,25;"};
    rig.host.confirm = confirm;
    rig.host.settings.cutterAddress = address;
    rig.host.settings.usbDevice = QStringLiteral("9-9:1.0");
    if (!patternPresent)
        rig.jobs->calibrationPatternPath = rig.dir.filePath("CIR.plt");
    if (!cutterOn)
        rig.sim->stopListening();
    if (link == JobLink::Usb)
        rig.jobs->autoAdjustUsb();
    else
        rig.jobs->autoAdjustNet();
    QCOMPARE(rig.received(), QString());
    QCOMPARE(rig.host.connectErrors, errorBoxes);
    QCOMPARE(rig.host.calibrationDone, 0);
}

QTEST_MAIN(TestCarriage)
#include "tst_carriage.moc"
