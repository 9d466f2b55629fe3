#pragma once
#include "simcutter.h"

#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

// Named fault modes of the simulated cutter.
struct SimFaults
{
    int dropAfter = 0;     // > 0: close the connection (or hang up the device) after answering this many "CMD:" commands
    bool silent = false;   // never answer
    bool garbage = false;  // answer kGarbage instead of every reply
    bool splitReplies = false; // send each reply in two writes, kSplitGapMs apart
};

// Serves one SimCutter over TCP and/or over a pty that stands in for the USB
// device node /dev/usb/lpN. Runs in the thread that owns it, driven by its
// event loop, so a test can run it in-process beside the link under test (the
// link's waits handle events). Optionally writes a byte transcript and renders
// every finished sheet as a PNG.
class CutterSimServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSplitGapMs = 40;
    static const QByteArray kGarbage;

    explicit CutterSimServer(SimConfig config = SimConfig(), QObject *parent = nullptr);
    ~CutterSimServer() override;

    SimCutter &cutter() { return m_cutter; }
    SimFaults &faults() { return m_faults; }

    // TCP: port 0 picks a free port; see serverPort().
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 9100);
    quint16 serverPort() const;
    // Stops accepting connections and closes the current one (cutter switched off).
    void stopListening();
    // Closes the current TCP connection, as a cutter that is switched off.
    void dropConnection();

    // Creates a raw pty pair and serves its master side; returns the path of
    // the slave (the stand-in device node), empty on failure. The slave stays
    // open here until hangUp(), so the program can open and close it freely.
    QString openPty();
    QString ptyPath() const { return m_ptyPath; }
    // The device vanishes: closes both pty sides; a reader of the slave sees a hang-up.
    void hangUp();

    // Transcript: one line per transfer, "<ms since start> rx|tx <bytes>",
    // bytes other than printable ASCII written as \xNN and "\" as "\\".
    bool setTranscript(const QString &file);
    // Each finished sheet is written as DIR/sheet-NNN.png.
    void setRenderDir(const QString &dir) { m_renderDir = dir; }

    int connectionCount() const { return m_connections; }
    static QByteArray escapeBytes(const QByteArray &bytes);

signals:
    void instructionsReceived(int total);
    void sheetFinished(int number);

private:
    void acceptConnection();
    void readSocket(QTcpSocket *socket);
    void readPty();
    // Handles bytes from one channel; returns true when the channel must be closed.
    bool process(const QByteArray &bytes, const std::function<void(const QByteArray &)> &write, int &commands);
    void sendReply(const QByteArray &reply, const std::function<void(const QByteArray &)> &write);
    void writePty(const QByteArray &bytes);
    void log(const char *direction, const QByteArray &bytes);
    void renderNewSheets();

    SimCutter m_cutter;
    SimFaults m_faults;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    int m_socketCommands = 0;
    int m_connections = 0;
    int m_master = -1;
    int m_slave = -1;
    int m_ptyCommands = 0;
    QString m_ptyPath;
    QSocketNotifier *m_ptyNotifier = nullptr;
    QFile m_transcript;
    QString m_renderDir;
    int m_rendered = 0;
    QElapsedTimer m_clock;
};
