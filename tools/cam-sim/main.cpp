// cam-sim: a stand-in for the cutter's Wi-Fi camera. Streams JPEG frames
// framed by J_S= and J_E; over TCP, so the camera view, its recognition
// overlay and the camera set-up can be tried without the hardware.
#include "camserver.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>

static bool parseOptions(const QCommandLineParser &p, CamServer::Options &o, QString &error)
{
    bool ok = true;
    if (p.isSet("host") && !o.host.setAddress(p.value("host")))
        error = QStringLiteral("bad --host address: %1").arg(p.value("host"));
    if (p.isSet("port")) {
        const uint port = p.value("port").toUInt(&ok);
        if (!ok || port > 65535)
            error = QStringLiteral("bad --port: %1").arg(p.value("port"));
        o.port = quint16(port);
    }
    if (p.isSet("fps")) {
        o.fps = p.value("fps").toInt(&ok);
        if (!ok || o.fps < 1 || o.fps > 120)
            error = QStringLiteral("--fps must be 1..120");
    }
    if (p.isSet("quality")) {
        o.quality = p.value("quality").toInt(&ok);
        if (!ok || o.quality < 1 || o.quality > 100)
            error = QStringLiteral("--quality must be 1..100");
    }
    o.folder = p.value("dir");
    if (p.isSet("qr"))
        o.qrText = p.value("qr").toUtf8();
    return error.isEmpty();
}

int main(int argc, char *argv[])
{
    // Drawing text into frames needs fonts; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName("cam-sim");
    QCoreApplication::setApplicationVersion(QLatin1String(cutterdeskVersion()));

    QCommandLineParser p;
    p.setApplicationDescription("Simulated Wi-Fi camera: streams JPEG frames framed by J_S= and J_E;.");
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {"host", "Address to listen on (default 127.0.0.1).", "address"},
        {"port", "TCP port (default 5000; 0 picks a free one).", "port"},
        {"fps", "Frames per second (default 15).", "rate"},
        {"dir", "Send the JPEG files of this folder instead of drawn frames.", "folder"},
        {"qr", "Text of the QR code in drawn frames (default box-1; empty: no code).", "text"},
        {"quality", "JPEG quality of drawn frames, 1..100 (default 80).", "quality"},
    });
    p.process(app);

    CamServer::Options options;
    QString error;
    if (!parseOptions(p, options, error)) {
        std::fprintf(stderr, "cam-sim: %s\n", qPrintable(error));
        return 2;
    }
    CamServer server(options);
    if (!server.start()) {
        std::fprintf(stderr, "cam-sim: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("cam-sim: listening on %s:%u\n", qPrintable(options.host.toString()),
                unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
