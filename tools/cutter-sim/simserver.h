#pragma once
#include "simcutter.h"
#include "usblpnode.h"

#include <QFile>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <memory>

class QTcpServer;
class QTcpSocket;

// Named fault modes of the simulated cutter.
struct SimFaults
{
    int dropAfter = 0;     // > 0: close the connection (or unplug the device) after answering this many "CMD:" commands
    bool silent = false;   // never answer
    bool garbage = false;  // answer kGarbage instead of every reply
    bool splitReplies = false; // TCP: send each reply in two writes, kSplitGapMs apart
    bool stalled = false;  // TCP: read nothing (the cutter's buffer is full); see resumeReading()
};

// Serves one SimCutter over TCP and/or over a USB device node modelled as the
// kernel's usblp driver presents it (UsblpNode). TCP runs in the thread that
// owns the server, driven by its event loop, so a test can run it in-process
// beside the link under test (the link's waits handle events). The USB node
// answers on its own thread at once, before the program's write returns; the
// signals and the sheet pictures still come from the owner's thread.
// Optionally writes a byte transcript and renders every finished sheet as a
// PNG.
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
    // Ends the stalled fault and reads what waited.
    void resumeReading();

    // Starts serving a USB device node with the driver's rules (UsblpNode);
    // returns its path, empty on failure (the reason in *error). A node
    // served before is unplugged and replaced.
    QString openUsbNode(QString *error = nullptr);
    UsblpNode *usbNode() const { return m_usb.get(); }
    // The device vanishes: the node's handles fail, as on unplugging.
    void hangUp();

    // Transcript: one line per transfer, "<ms since start> rx|tx <bytes>",
    // bytes other than printable ASCII written as \xNN and "\" as "\\".
    bool setTranscript(const QString &file);
    // Each finished sheet is written as DIR/sheet-NNN.png.
    void setRenderDir(const QString &dir) { m_renderDir = dir; }

    int connectionCount() const { return m_connections; }
    qint64 tcpBytesReceived() const { return m_tcpBytes; } // over every connection

    // Called with each instruction the cutter takes, on the thread that took
    // it, before the sender hears back: over USB before the program's write
    // returns, over TCP before the next bytes are read. What it changes
    // (faults, replies) holds from the next command on, however fast the
    // program sends. instructionsReceived comes later, on the owner's thread.
    void setInstructionHook(std::function<void(const QString &)> hook) { m_hook = std::move(hook); }
    static QByteArray escapeBytes(const QByteArray &bytes);

signals:
    void instructionsReceived(int total);
    void sheetFinished(int number);

private:
    void acceptConnection();
    void readSocket(QTcpSocket *socket);
    void readUsb(const QByteArray &bytes); // on the node's thread
    // Handles bytes from one channel; returns true when the channel must be closed.
    // stream: TCP, where a reply may come in two pieces (splitReplies).
    bool process(const QByteArray &bytes, const std::function<void(const QByteArray &)> &write, int &commands,
                 bool stream);
    void sendReply(const QByteArray &reply, const std::function<void(const QByteArray &)> &write, bool stream);
    void log(const char *direction, const QByteArray &bytes);
    void announce(int instructions);
    void renderNewSheets();

    SimCutter m_cutter;
    SimFaults m_faults;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    int m_socketCommands = 0;
    int m_connections = 0;
    qint64 m_tcpBytes = 0;
    std::unique_ptr<UsblpNode> m_usb;
    int m_usbCommands = 0;
    QRecursiveMutex m_lock; // the cutter and the transcript, shared by TCP and USB
    std::function<void(const QString &)> m_hook;
    int m_hooked = 0; // instructions the hook has seen
    QFile m_transcript;
    QString m_renderDir;
    int m_rendered = 0;
    QElapsedTimer m_clock;
};
