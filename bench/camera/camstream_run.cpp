// Measured run of the camera view with seek on against cam-sim: frames
// received, paints shown per second, paint time (recognition included) and
// how late the event loop handles a posted event (what a click would wait).
//
//   camstream_run [--seconds 20] [--fps 30] [--qr text] [--cam-sim path] [--shot view.png]
//
// Starts cam-sim on a free loopback port, feeds its stream through the same
// frame assembler the main window uses into a shown CamView, and prints the
// figures at the end. Run it on an idle machine.
#include "camview.h"
#include "eventprobe.h"
#include "framestream.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

class TimedCamView : public CamView
{
public:
    std::vector<double> paintMs;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QElapsedTimer t;
        t.start();
        CamView::paintEvent(event);
        paintMs.push_back(t.nsecsElapsed() / 1e6);
    }
};

static double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.addOptions({{"seconds", "Length of the run (default 20).", "s", "20"},
                  {"fps", "Frame rate of cam-sim (default 30).", "fps", "30"},
                  {"qr", "Text of cam-sim's QR code (empty: none, the slowest search).", "text"},
                  {"cam-sim", "The cam-sim program.", "path", CUTTERDESK_CAM_SIM},
                  {"shot", "Save the view as it looks at the end of the run.", "png"}});
    p.process(app);
    const int seconds = p.value("seconds").toInt();

    QProcess camSim;
    camSim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList simArgs{"--port", "0", "--fps", p.value("fps")};
    if (p.isSet("qr"))
        simArgs << "--qr" << p.value("qr");
    camSim.start(p.value("cam-sim"), simArgs);
    if (!camSim.waitForStarted() || !camSim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cam-sim did not start\n");
        return 1;
    }
    const QByteArray line = camSim.readLine().trimmed();
    const quint16 port = line.mid(line.lastIndexOf(':') + 1).toUShort();

    TimedCamView view;
    view.resize(640, 480);
    view.seek = true;
    view.show();

    QTcpSocket socket;
    FrameStream stream;
    int frames = 0;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] {
        stream.feed(socket.readAll(), [&](const QByteArray &jpeg) {
            ++frames;
            view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
        });
    }, Qt::QueuedConnection);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000)) {
        std::fprintf(stderr, "no connection to cam-sim\n");
        return 1;
    }

    EventProbe probe(50);
    std::vector<int> fpsShown;
    QTimer sampleFps;
    QObject::connect(&sampleFps, &QTimer::timeout, [&] { fpsShown.push_back(view.fps); });
    sampleFps.start(1000);
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    if (p.isSet("shot") && !view.grab().save(p.value("shot")))
        std::fprintf(stderr, "could not save %s\n", qPrintable(p.value("shot")));
    camSim.kill();
    camSim.waitForFinished();

    // The first two samples cover the start-up second.
    const std::vector<int> steady(fpsShown.size() > 2 ? fpsShown.begin() + 2 : fpsShown.end(),
                                  fpsShown.end());
    const auto [minFps, maxFps] = std::minmax_element(steady.begin(), steady.end());
    std::printf("run %d s, cam-sim %s fps, seek on, view 640x480\n", seconds, qPrintable(p.value("fps")));
    std::printf("frames received %d (%.1f/s), paints %zu, recognitions %d\n", frames,
                frames / double(seconds), view.paintMs.size(), view.recognitions());
    if (!steady.empty())
        std::printf("FPS shown: min %d, max %d\n", *minFps, *maxFps);
    std::printf("paint time ms: median %.2f, p95 %.2f, worst %.2f\n", percentile(view.paintMs, 0.5),
                percentile(view.paintMs, 0.95), percentile(view.paintMs, 1.0));
    std::printf("event latency ms: median %.2f, p99 %.2f, worst %.2f\n", percentile(probe.lateMs, 0.5),
                percentile(probe.lateMs, 0.99), percentile(probe.lateMs, 1.0));
    return 0;
}
