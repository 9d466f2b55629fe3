#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QLineF>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QVector>

// The cutter's side of the command protocol, without any transport: feed it
// the bytes the program sent, in any split, and it returns the replies due.
//
// What it fakes: fixed replies to every control command; the carriage
// position (followed through PU/PD moves, answered to "CMD:203;"); busy for
// busyMs after a job text or a move ("BUSY;" to "CMD:10;", then "FREE;"); a
// media container with a sheet count ("CMD:108;"; "CMD:109,...;" and the
// pre-feed "CMD:110;" take a sheet); mark and QR
// readings from configured queues; the camera address; "MD_OK;" (or a
// configured reply) to an MD instruction. Everything creased (pen 1) and cut (pen 2) is collected per
// sheet; "!PG;" ends a sheet.
struct SimConfig
{
    int busyMs = 300;       // busy time after a job text or a move, ms
    int sheets = 10;        // sheets in the media container
    // Replies to "CMD:106;" and "CMD:101;", used in order; the last one
    // repeats. Empty: "NOMARK;" and "NOQR;".
    QStringList markReplies;
    QStringList qrReplies;
    // Replies to an MD instruction (the sheet registered by its mark), used
    // the same way. Empty: "MD_OK;".
    QStringList mdReplies;
    QString cameraAddress = QStringLiteral("192.168.137.137"); // reply to "CMD:107,...;"
    // Replies given instead of the normal ones, one per instruction that has a
    // reply, in order, before normal answering resumes. Lets a test make the
    // cutter say anything (for example "FREE" without ";").
    QStringList scriptedReplies;
};

struct SimLine
{
    QLineF line; // plotter units, 40 per mm
    int pen;     // 1 crease, 2 cut
};

struct SimSheet
{
    QSize mdSize; // the MD instruction's third and fourth numbers (first-axis, second-axis extent)
    QVector<SimLine> lines;
};

class SimCutter
{
public:
    explicit SimCutter(SimConfig config = SimConfig());

    // Takes the next received bytes; returns one reply per completed
    // instruction that has one, in order.
    QList<QByteArray> receive(const QByteArray &bytes);
    // Forgets an instruction begun and not ended (its connection was lost).
    void dropPartial() { m_pending.clear(); }

    SimConfig &config() { return m_config; }
    QPoint position() const { return m_position; }
    bool busy() const;
    int sheetsLeft() const { return m_config.sheets; }
    int pen() const { return m_pen; }
    // Every complete instruction received, without its ";", in order.
    const QStringList &instructions() const { return m_instructions; }
    // Sheets ended by "!PG;", in order, and the one in progress.
    const QVector<SimSheet> &finishedSheets() const { return m_finished; }
    const SimSheet &currentSheet() const { return m_sheet; }

private:
    QByteArray handle(const QString &instruction);
    QByteArray handleCommand(int number, const QStringList &args);
    void handlePlot(const QString &mnemonic, const QString &params);
    void startBusy();
    static QString takeNext(QStringList &queue, const QString &fallback);

    SimConfig m_config;
    QByteArray m_pending;
    QStringList m_instructions;
    QPoint m_position;
    int m_pen = 0;
    SimSheet m_sheet;
    QVector<SimSheet> m_finished;
    QElapsedTimer m_clock;
    qint64 m_busyUntil = 0;
};
