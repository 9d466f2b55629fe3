// The twelve single-sheet procedures against the simulated cutter, over the
// network link on loopback and over the USB link on a mocked udev tree whose
// device node is the simulator's pty (run under umockdev-wrapper).
#include "../link/mockusb.h" // first: before any Qt header

#include "jobtesting.h"
#include "sheet.h"
#include "triggerkeys.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// Answers the trigger wait: presses the trigger `presses` times, then stops.
class TriggerFinger : public QObject
{
public:
    TriggerFinger(FakeHost &host, int presses) : m_host(host), m_presses(presses)
    {
        m_timer.callOnTimeout([this] { poll(); });
        m_timer.start(10);
    }
    int waits = 0;

private:
    void poll()
    {
        if (!TriggerKeys::armed() || m_pending)
            return;
        ++waits;
        if (m_presses-- > 0)
            TriggerKeys::keyDown();
        else
            m_host.running = false;
        m_pending = true;
        QTimer::singleShot(0, this, [this] { m_pending = false; });
    }
    FakeHost &m_host;
    int m_presses;
    bool m_pending = false;
    QTimer m_timer;
};

// The matrix moves: a knife-up move followed by the status poll (inside a
// job text a move is followed by more plotting).
QStringList moves(const QString &received)
{
    QStringList found;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("SP2;PU-?[0-9.e+]+,-?[0-9.e+]+;(?=CMD:10;)")).globalMatch(received);
    while (it.hasNext())
        found << it.next().captured();
    return found;
}

bool sendsMd(const QString &received)
{
    return received.contains(QRegularExpression(QStringLiteral("(^|;)MD")));
}

} // namespace

Q_DECLARE_METATYPE(JobLink)
Q_DECLARE_METATYPE(MatrixLayout)

class TestSheetJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachProcedureSendsItsSheet_data() { addProcedureRows(); }
    void eachProcedureSendsItsSheet();
    void plotWithoutHeaderSendsNothing_data() { addProcedureRows(); }
    void plotWithoutHeaderSendsNothing();
    void headerAsSent_data();
    void headerAsSent();
    void zeroPassesLeaveHeaderAndEnd_data();
    void zeroPassesLeaveHeaderAndEnd();
    void unsafeQrTextSelectsNothing_data();
    void unsafeQrTextSelectsNothing();
    void qrMatrixReusesLastFileAfterNoQr();
    void matrixMovesVisitThePlaces_data();
    void matrixMovesVisitThePlaces();
    void stopDuringSheetFinishesIt_data();
    void stopDuringSheetFinishesIt();
    void cutterComingBackLetsJobGoOn();
    void stopAbandonsCutterThatDoesNotAnswer_data();
    void stopAbandonsCutterThatDoesNotAnswer();

private:
    void addProcedureRows();
    // A rig whose link is ready for the row: USB rows plug the sim's pty.
    std::unique_ptr<SimRig> rigFor(JobLink link, int busyMs = 0);
    std::unique_ptr<MockUsb> bed;
};

void TestSheetJobs::initTestCase()
{
    bed = std::make_unique<MockUsb>();
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

std::unique_ptr<SimRig> TestSheetJobs::rigFor(JobLink link, int busyMs)
{
    bed.reset(); // one testbed at a time
    bed = std::make_unique<MockUsb>();
    SimConfig config;
    config.busyMs = busyMs;
    auto rig = std::make_unique<SimRig>(config);
    if (link == JobLink::Usb) {
        bed->plug("1-2", "lp0", 0, rig->sim->openPty());
        rig->usb.setDevice(QStringLiteral("1-2:1.0")); // the runner's step
    }
    return rig;
}

void TestSheetJobs::addProcedureRows()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<JobLink>("link");
    QTest::addColumn<bool>("sendHeader");
    QTest::addColumn<bool>("innerFirst");
    QTest::addColumn<bool>("qr");
    QTest::addColumn<bool>("matrix");
    const auto U = JobLink::Usb;
    const auto N = JobLink::Network;
    QTest::newRow("blankCutUsb") << &CutterJobs::blankCutUsb << U << false << true << false << false;
    QTest::newRow("blankCutNet") << &CutterJobs::blankCutNet << N << false << false << false << false;
    QTest::newRow("matrixBlankUsb") << &CutterJobs::matrixBlankUsb << U << false << false << false << true;
    QTest::newRow("matrixBlankNet") << &CutterJobs::matrixBlankNet << N << false << true << false << true;
    QTest::newRow("scanMarkUsb") << &CutterJobs::scanMarkUsb << U << true << true << false << false;
    QTest::newRow("scanMarkNet") << &CutterJobs::scanMarkNet << N << true << true << false << false;
    QTest::newRow("matrixScanUsb") << &CutterJobs::matrixScanUsb << U << true << false << false << true;
    QTest::newRow("matrixScanNet") << &CutterJobs::matrixScanNet << N << true << true << false << true;
    QTest::newRow("qrScanMarkUsb") << &CutterJobs::qrScanMarkUsb << U << true << true << true << false;
    QTest::newRow("qrScanMarkNet") << &CutterJobs::qrScanMarkNet << N << true << true << true << false;
    QTest::newRow("qrMatrixScanUsb") << &CutterJobs::qrMatrixScanUsb << U << true << true << true << true;
    QTest::newRow("qrMatrixScanNet") << &CutterJobs::qrMatrixScanNet << N << true << true << true << true;
}

void TestSheetJobs::eachProcedureSendsItsSheet()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(JobLink, link);
    QFETCH(bool, sendHeader);
    QFETCH(bool, innerFirst);
    QFETCH(bool, qr);
    QFETCH(bool, matrix);
    auto rig = rigFor(link);
    rig->usePlots(); // the QR modes cut job7.plt, whose header ends in ",5;": sent as ",4;"
    TriggerFinger finger(rig->host, 0);

    rig->run(procedure);

    SheetOptions options;
    options.sendHeader = sendHeader;
    options.forceQrDigit = qr;
    options.orderInnerFirst = innerFirst;
    const QString plot = outerFirstPlot(qr ? QStringLiteral("MD0,0,4000,3000,5;") : QStringLiteral("MD0,0,4000,3000,4;"));
    QString expected = (matrix ? "CMD:203;" : "") + QString(qr ? "CMD:101;" : "") + prepareSheet(plot, options).jobText;
    QCOMPARE(rig->received(), expected + "CMD:10;");
    QCOMPARE(sendsMd(rig->received()), sendHeader);
    QCOMPARE(finger.waits, matrix ? 1 : 0);
    QCOMPARE(rig->sim->cutter().finishedSheets().size(), 1);
}

void TestSheetJobs::plotWithoutHeaderSendsNothing()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(JobLink, link);
    auto rig = rigFor(link);
    const QString noHeader = QStringLiteral("IN;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;");
    rig->usePlots(); // a QR file would be fine: the base file ends it
    rig->host.settings.plotFile = rig->writePlot("base.plt", noHeader);
    TriggerFinger finger(rig->host, 0);
    rig->run(procedure);
    QCOMPARE(rig->received(), QString());
    QCOMPARE(finger.waits, 0);
}

void TestSheetJobs::headerAsSent_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("expectedStart");
    QTest::newRow("mark, rotated") << &CutterJobs::scanMarkNet << true << "MD0,0,4000,3000,4;"
                                   << "MD0,0,3000,4000,4;IN;PA;SP1;";
    QTest::newRow("mark, as read with a second MD") << &CutterJobs::scanMarkNet << false << "MD0,0,4000,3000,4;MD9;"
                                                    << "MD0,0,4000,3000,4;MD9;IN;PA;SP1;";
    QTest::newRow("QR, rotated header forced to 4") << &CutterJobs::qrScanMarkNet << true
                                                    << "MD0,0,4000,3000,5;" << "CMD:101;MD0,0,3000,4000,4;IN;";
    QTest::newRow("blank, rotated: no MD") << &CutterJobs::blankCutNet << true << "MD0,0,4000,3000,3;"
                                           << "IN;PA;SP1;";
}

void TestSheetJobs::headerAsSent()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(bool, rotate);
    QFETCH(QString, header);
    QFETCH(QString, expectedStart);
    auto rig = rigFor(JobLink::Network);
    rig->host.settings.rotate = rotate;
    rig->usePlots(header, header);
    TriggerFinger finger(rig->host, 0);
    rig->run(procedure);
    QVERIFY2(rig->received().startsWith(expectedStart), qPrintable(rig->received().left(80)));
    QVERIFY(!sendsMd(rig->received().mid(expectedStart.size())));
}

void TestSheetJobs::zeroPassesLeaveHeaderAndEnd_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<int>("creasePasses");
    QTest::addColumn<int>("cutPasses");
    QTest::addColumn<QString>("expected");
    const QString crease = QStringLiteral("IN;PA;SP1;PU400,1000;PD3600,1000;PU;");
    QTest::newRow("mark, no passes") << &CutterJobs::scanMarkNet << 0 << 0 << "MD0,0,4000,3000,4;!PG;CMD:10;";
    QTest::newRow("blank, no passes") << &CutterJobs::blankCutNet << 0 << 0 << "!PG;CMD:10;";
    QTest::newRow("blank, two creases, no cut") << &CutterJobs::blankCutNet << 2 << 0
                                                << crease + crease + "!PG;CMD:10;";
}

void TestSheetJobs::zeroPassesLeaveHeaderAndEnd()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(int, creasePasses);
    QFETCH(int, cutPasses);
    QFETCH(QString, expected);
    auto rig = rigFor(JobLink::Network);
    rig->usePlots();
    rig->host.settings.creasePasses = creasePasses;
    rig->host.settings.cutPasses = cutPasses;
    rig->run(procedure);
    QCOMPARE(rig->received(), expected);
}

void TestSheetJobs::unsafeQrTextSelectsNothing_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<QString>("qrText");
    QTest::addColumn<QString>("expected");
    // Each kind of unsafe text once; the name rule itself is tested row by row with qrPlotFile.
    QTest::newRow("one sheet, parent folder") << &CutterJobs::qrScanMarkNet << "../outside" << "CMD:101;";
    QTest::newRow("one sheet, sub folder") << &CutterJobs::qrScanMarkNet << "sub/inner" << "CMD:101;";
    QTest::newRow("matrix, control character") << &CutterJobs::qrMatrixScanNet << "job7\n" << "CMD:203;CMD:101;";
}

void TestSheetJobs::unsafeQrTextSelectsNothing()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(QString, qrText);
    QFETCH(QString, expected);
    auto rig = rigFor(JobLink::Network);
    // Every file the text could reach exists, so only the name check stops it.
    QVERIFY(QDir(rig->dir.path()).mkpath("plots/sub"));
    rig->host.settings.plotFile = rig->writePlot("plots/base.plt", outerFirstPlot());
    rig->writePlot("outside.plt", outerFirstPlot());
    rig->writePlot("plots/sub/inner.plt", outerFirstPlot());
    rig->writePlot("plots/job7\n.plt", outerFirstPlot());
    rig->sim->cutter().config().qrReplies = QStringList{qrText};
    TriggerFinger finger(rig->host, 0);
    rig->run(procedure);
    QCOMPARE(rig->received(), expected);
}

void TestSheetJobs::qrMatrixReusesLastFileAfterNoQr()
{
    auto rig = rigFor(JobLink::Network);
    rig->usePlots();
    rig->sim->cutter().config().qrReplies = QStringList{"NOQR;", "job7", "NOQR;", "missing", "NOQR;"};
    TriggerFinger finger(rig->host, 4);
    rig->jobs->qrMatrixScanNet();
    // NOQR; before any file: no sheet; job7; NOQR; keeps job7; a missing file: no sheet; NOQR; keeps it.
    QCOMPARE(rig->sim->cutter().finishedSheets().size(), 2);
    QCOMPARE(rig->sim->cutter().instructions().count(QStringLiteral("CMD:101")), 5);
    QCOMPARE(finger.waits, 5); // the trigger wait and the move happen for skipped sheets too
    QCOMPARE(moves(rig->received()).size(), 4);
}

void TestSheetJobs::matrixMovesVisitThePlaces_data()
{
    QTest::addColumn<MatrixLayout>("layout");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("four") << MatrixLayout::Four
                          << QStringList{"SP2;PU0,3100;", "SP2;PU4200,3100;", "SP2;PU4200,0;", "SP2;PU0,0;"};
    QTest::newRow("two") << MatrixLayout::Two << QStringList{"SP2;PU4200,0;", "SP2;PU0,0;"};
    QTest::newRow("one") << MatrixLayout::One << QStringList{"SP2;PU0,0;"};
    QTest::newRow("none selected") << MatrixLayout::None << QStringList{};
}

void TestSheetJobs::matrixMovesVisitThePlaces()
{
    QFETCH(MatrixLayout, layout);
    QFETCH(QStringList, expected);
    auto rig = rigFor(JobLink::Network);
    rig->usePlots();
    rig->host.settings.matrix = layout;
    rig->host.settings.gapFirstMm = 5.0;
    rig->host.settings.gapSecondMm = 2.5;
    const int presses = qMax(1, int(expected.size()));
    // A cutter that reports the start origin unchanged, (0, 0), at every query.
    QStringList replies{"0,0;", "FREE;"};
    for (int i = 0; i < presses; ++i)
        replies << (layout == MatrixLayout::None ? QStringList{"FREE;"} : QStringList{"0,0;", "FREE;", "OK;", "FREE;"});
    rig->sim->cutter().config().scriptedReplies = replies;
    TriggerFinger finger(rig->host, presses);
    rig->jobs->matrixBlankNet();
    QCOMPARE(moves(rig->received()), expected);
    QCOMPARE(rig->sim->cutter().instructions().count(QStringLiteral("CMD:202")), expected.size());
    QCOMPARE(rig->sim->cutter().finishedSheets().size(), presses + 1);
}

void TestSheetJobs::stopDuringSheetFinishesIt_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::newRow("one sheet") << &CutterJobs::scanMarkNet;
    QTest::newRow("matrix") << &CutterJobs::matrixScanNet;
}

void TestSheetJobs::stopDuringSheetFinishesIt()
{
    QFETCH(JobProcedure, procedure);
    auto rig = rigFor(JobLink::Network, 1200);
    rig->usePlots();
    TriggerFinger finger(rig->host, 1);
    QTimer::singleShot(200, [&] { rig->host.running = false; });
    rig->run(procedure);
    QCOMPARE(finger.waits, 0); // no trigger wait after a stopped sheet
    // The sheet was waited for to its end: polled while busy, then free.
    QVERIFY(rig->received().contains(QRegularExpression(QStringLiteral("!PG;(CMD:10;){2,}$"))));
    QVERIFY(moves(rig->received()).isEmpty());
}

void TestSheetJobs::cutterComingBackLetsJobGoOn()
{
    auto rig = rigFor(JobLink::Network);
    const quint16 port = rig->sim->serverPort();
    rig->usePlots();
    // The cutter goes away once it has the first sheet and is back 1.5 s later.
    QObject::connect(
        rig->sim.get(), &CutterSimServer::sheetFinished, rig->sim.get(),
        [&](int number) {
            if (number != 1)
                return;
            rig->sim->stopListening();
            QTimer::singleShot(1500, rig->sim.get(), [&] { rig->sim->listen(QHostAddress::LocalHost, port); });
        },
        Qt::QueuedConnection);
    TriggerFinger finger(rig->host, 1);
    rig->jobs->matrixBlankNet();
    QVERIFY(rig->host.states.contains(QStringLiteral("Waiting for the cutter...")));
    QCOMPARE(rig->sim->cutter().finishedSheets().size(), 2); // the job went on after the cutter came back
    QCOMPARE(finger.waits, 2);
    QVERIFY(rig->host.states.last().startsWith(QLatin1String("Sheet 2 done.")));
}

void TestSheetJobs::stopAbandonsCutterThatDoesNotAnswer_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<bool>("gone");
    QTest::newRow("one sheet, silent cutter") << &CutterJobs::scanMarkNet << false;
    QTest::newRow("matrix, cutter gone") << &CutterJobs::matrixScanNet << true;
    QTest::newRow("one sheet, cutter gone") << &CutterJobs::blankCutNet << true;
}

void TestSheetJobs::stopAbandonsCutterThatDoesNotAnswer()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(bool, gone);
    auto rig = rigFor(JobLink::Network);
    rig->usePlots();
    QObject::connect(
        rig->sim.get(), &CutterSimServer::sheetFinished, rig->sim.get(),
        [&] {
            if (gone)
                rig->sim->stopListening();
            else
                rig->sim->faults().silent = true;
        },
        Qt::QueuedConnection);
    TriggerFinger finger(rig->host, 1);
    QTimer::singleShot(300, [&] { rig->host.running = false; });
    QElapsedTimer clock;
    clock.start();
    rig->run(procedure);
    QVERIFY(clock.elapsed() < CutterLink::kSilenceMs + 2000);
    QVERIFY(rig->host.states.contains(QStringLiteral("Waiting for the cutter...")));
    QCOMPARE(finger.waits, 0);
}

QTEST_MAIN(TestSheetJobs)
#include "tst_sheetjobs.moc"
