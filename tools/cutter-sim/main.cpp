// cutter-sim: a simulated cutter for trying cutterdesk without a machine and
// for tests. Speaks the cutter's side of the command protocol on TCP. With
// --usb it also appears as a USB cutter to a program it starts under the
// umockdev preload, behind a device node that keeps the kernel printer
// driver's rules (UsblpNode).
#include "simserver.h"
#include "usbbed.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void addOptions(QCommandLineParser &p)
{
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {"host", "Address to listen on (default 127.0.0.1).", "address", "127.0.0.1"},
        {"port", "TCP port (default 9100).", "port", "9100"},
        {"busy-ms", "Busy time after a job text or a move, ms (default 300).", "ms", "300"},
        {"sheets", "Sheets in the media container (default 10).", "count", "10"},
        {"mark", "Reply to CMD:106; (repeat for a sequence; the last repeats). Default NOMARK;.", "reply"},
        {"qr", "Reply to CMD:101; (repeat for a sequence; the last repeats). Default NOQR;.", "text"},
        {"md", "Reply to an MD instruction (repeat for a sequence; the last repeats). Default MD_OK;.",
         "reply"},
        {"usb", "Also appear as the USB cutter 1-2:1.0 through a umockdev testbed, start the program "
                "given after -- under the umockdev preload, and end with it."},
        {"camera-ip", "Reply to the camera set-up command (default 192.168.137.137).", "address",
         "192.168.137.137"},
        {"drop-after", "Close the connection after N commands.", "n", "0"},
        {"silent", "Never answer."},
        {"garbage", "Answer garbage instead of every reply."},
        {"split", "Send every reply in two parts, 40 ms apart."},
        {"log", "Write the byte transcript to FILE.", "file"},
        {"render", "Write each finished sheet as DIR/sheet-NNN.png.", "dir"},
    });
}

SimConfig configFrom(const QCommandLineParser &p)
{
    SimConfig c;
    c.busyMs = p.value("busy-ms").toInt();
    c.sheets = p.value("sheets").toInt();
    c.markReplies = p.values("mark");
    c.qrReplies = p.values("qr");
    c.mdReplies = p.values("md");
    c.cameraAddress = p.value("camera-ip");
    return c;
}

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// Ctrl-C or kill ends the event loop instead of the process, so the program
// is stopped and the testbed removed on the way out.
void quitOnTerminate(QCoreApplication &app)
{
    if (::pipe2(signalPipe, O_CLOEXEC) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.exit(1); });
    std::signal(SIGINT, onTerminate);
    std::signal(SIGTERM, onTerminate);
}

// Starts the program with the testbed's environment; the simulator ends with
// it and returns its exit status.
int runUnderTestbed(QCoreApplication &app, const UsbTestbed &bed, const QStringList &program)
{
    quitOnTerminate(app);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setProcessEnvironment(bed.environment());
    QObject::connect(&child, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &app,
                     [&app](int code, QProcess::ExitStatus status) {
                         app.exit(status == QProcess::NormalExit ? code : 1);
                     });
    child.start(program.first(), program.mid(1));
    if (!child.waitForStarted(-1)) {
        QTextStream(stderr) << "cutter-sim: cannot start " << program.first() << '\n';
        return 1;
    }
    const int status = app.exec();
    if (child.state() != QProcess::NotRunning) {
        child.terminate();
        if (!child.waitForFinished(3000))
            child.kill();
        child.waitForFinished(-1);
    }
    return status;
}

// umockdev builds its testbed only in a process that runs under its preload
// (the one the program gets as well): with --usb the simulator starts itself
// again under it. Returns only when that is not needed or not possible.
void comeBackUnderPreload(char *argv[])
{
    bool usb = false;
    for (char **a = argv + 1; *a && std::strcmp(*a, "--") != 0; ++a)
        usb = usb || std::strcmp(*a, "--usb") == 0;
    const char *preload = std::getenv("LD_PRELOAD");
    if (!usb || (preload && std::strstr(preload, "libumockdev-preload")))
        return;
    std::string value = "libumockdev-preload.so.0";
    if (preload && *preload)
        value += std::string(":") + preload;
    ::setenv("LD_PRELOAD", value.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("cutter-sim: cannot restart under the umockdev preload");
}

} // namespace

int main(int argc, char *argv[])
{
    comeBackUnderPreload(argv);
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("cutter-sim"));
    app.setApplicationVersion(QLatin1String(cutterdeskVersion()));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated cutter for cutterdesk."));
    addOptions(parser);
    parser.addPositionalArgument(QStringLiteral("program"), QStringLiteral("With --usb: the program and its arguments."),
                                 QStringLiteral("[-- program [args...]]"));
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    CutterSimServer sim(configFrom(parser));
    sim.faults().dropAfter = parser.value("drop-after").toInt();
    sim.faults().silent = parser.isSet("silent");
    sim.faults().garbage = parser.isSet("garbage");
    sim.faults().splitReplies = parser.isSet("split");
    if (parser.isSet("log") && !sim.setTranscript(parser.value("log"))) {
        err << "cutter-sim: cannot write " << parser.value("log") << '\n';
        return 1;
    }
    if (parser.isSet("render"))
        sim.setRenderDir(parser.value("render"));

    const QHostAddress host(parser.value("host"));
    bool portOk = false;
    const uint port = parser.value("port").toUInt(&portOk);
    if (host.isNull() || !portOk || port > 65535 || !sim.listen(host, quint16(port))) {
        err << "cutter-sim: cannot listen on " << parser.value("host") << ':' << parser.value("port") << '\n';
        return 1;
    }
    out << "cutter-sim: listening on " << host.toString() << ':' << sim.serverPort() << Qt::endl;
    QObject::connect(&sim, &CutterSimServer::sheetFinished, &app,
                     [&out](int n) { out << "cutter-sim: sheet " << n << " finished" << Qt::endl; });
    if (!parser.isSet("usb"))
        return app.exec();

    const QStringList program = parser.positionalArguments();
    if (program.isEmpty()) {
        err << "cutter-sim: --usb needs the program to start after --\n";
        return 1;
    }
    QString why;
    const QString node = sim.openUsbNode(&why);
    if (node.isEmpty()) {
        err << "cutter-sim: cannot serve the USB node: " << why << '\n';
        return 1;
    }
    UsbTestbed bed;
    if (!bed.plugCutter(node)) {
        err << "cutter-sim: cannot build the USB testbed in " << bed.rootDir() << '\n';
        return 1;
    }
    out << "cutter-sim: USB cutter " << UsbTestbed::instanceName() << " for " << program.first() << Qt::endl;
    return runUnderTestbed(app, bed, program);
}
