// cutter-sim: a simulated cutter for trying cutterdesk without a machine and
// for tests. Speaks the cutter's side of the command protocol on TCP and, with
// --pty, on a pty that stands in for the USB device node.
#include "simserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

void addOptions(QCommandLineParser &p)
{
    p.addHelpOption();
    p.addOptions({
        {"host", "Address to listen on (default 127.0.0.1).", "address", "127.0.0.1"},
        {"port", "TCP port (default 9100).", "port", "9100"},
        {"pty", "Also serve a pty standing in for the USB node; prints its path."},
        {"busy-ms", "Busy time after a job text or a move, ms (default 300).", "ms", "300"},
        {"sheets", "Sheets in the media container (default 10).", "count", "10"},
        {"mark", "Reply to CMD:106; (repeat for a sequence; the last repeats). Default NOMARK;.", "reply"},
        {"qr", "Reply to CMD:101; (repeat for a sequence; the last repeats). Default NOQR;.", "text"},
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
    c.cameraAddress = p.value("camera-ip");
    return c;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("cutter-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated cutter for cutterdesk."));
    addOptions(parser);
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
    if (parser.isSet("pty")) {
        const QString path = sim.openPty();
        if (path.isEmpty()) {
            err << "cutter-sim: cannot open a pty\n";
            return 1;
        }
        out << "cutter-sim: USB stand-in at " << path << Qt::endl;
    }
    QObject::connect(&sim, &CutterSimServer::sheetFinished, &app,
                     [&out](int n) { out << "cutter-sim: sheet " << n << " finished" << Qt::endl; });
    return app.exec();
}
