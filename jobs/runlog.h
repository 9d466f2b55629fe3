#pragma once
#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <optional>

// One sheet of a job, as the run log keeps it.
struct RunRecord
{
    enum class Outcome {
        Cut,           // "cut"
        UncutNoMark,   // "uncut: no mark"
        UncutNoQrFile, // "uncut: no QR file"
        Stopped,       // "stopped"
        CutterLost,    // "cutter lost"
    };

    QDateTime start; // when the sheet began, in any time zone; written as local time with its offset
    QDateTime end;   // when it ended; the seconds column is end - start
    int mode = 0;    // work mode 0..11; the log writes 01..12 and the mode's English title
    QString link;    // the USB interface name ("1-2:1.0") or the cutter's address
    QString plotFile;
    QString qrText;                // the code read, in the QR modes; else empty
    std::optional<bool> markFound; // in the modes with a mark; else none (an empty field)
    Outcome outcome = Outcome::Cut;
};

// The run log: runs.csv in a folder, one CSV line (RFC 4180, UTF-8, lines
// ending in LF) per sheet, appended as the sheet ends, under a header line.
//
// Each line goes to the file in one write, flushed to the disk, so a crash
// or a power cut loses at most the line being written. A line left cut short
// by one (even in the middle of a quoted field) is ended before the next line
// is appended, so every other line stays readable. A file that has reached
// `rotateBytes` is renamed runs-<date of its last line>.csv (then -2, -3 ...)
// before the next line begins a new one.
class RunLog
{
    Q_DECLARE_TR_FUNCTIONS(RunLog)
public:
    explicit RunLog(const QString &directory, qint64 rotateBytes = 10 * 1024 * 1024);

    // Appends the sheet's line, making the folder when it is missing. False
    // when the line could not be written (nothing of it is left in the file
    // then); errorString() says why, for the operator.
    bool append(const RunRecord &record);
    QString errorString() const { return m_error; }
    QString filePath() const;

private:
    bool fail(const QString &why);
    void rotateIfFull();

    QString m_directory;
    qint64 m_rotateBytes;
    QString m_error;
};
