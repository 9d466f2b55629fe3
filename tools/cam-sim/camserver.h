#pragma once
#include "camscene.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

// The simulated Wi-Fi camera: accepts TCP connections and sends every client
// the same frame at a fixed rate, each framed by "J_S=" and "J_E;". The
// frames are either drawn by CamScene or, when a folder is given, the JPEG
// files of that folder in name order, over and over.
//
// A client that does not read keeps at most kMaxBacklog bytes queued; frames
// that would exceed it are skipped for that client.
class CamServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxBacklog = 2 * 1024 * 1024;

    struct Options
    {
        QHostAddress host = QHostAddress::LocalHost;
        quint16 port = 5000;       // 0: any free port
        int fps = 15;
        int quality = 80;          // JPEG quality of drawn frames
        QString folder;            // JPEG files to send instead of drawn frames
        QByteArray qrText = "box-1"; // short: the view draws it left of the mark text
    };

    explicit CamServer(const Options &options, QObject *parent = nullptr);

    // Loads the folder (if any) and starts listening. Returns false with
    // errorString() set when the port is taken or the folder has no JPEGs.
    bool start();
    QString errorString() const { return m_error; }
    quint16 serverPort() const;
    int clientCount() const { return m_clients.size(); }
    int framesSent() const { return m_serial; }

private slots:
    void acceptClients();
    void sendFrame();

private:
    QByteArray nextJpeg();

    Options m_options;
    CamScene m_scene;
    QTcpServer *m_server;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QList<QTcpSocket *> m_clients;
    QStringList m_files;
    QString m_error;
    int m_serial = 0;
};
