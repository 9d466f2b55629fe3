#include "runlog.h"
#include "workmodes.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <unistd.h>

namespace {

const QByteArray kHeader = "start,end,mode,mode title,link,plot file,QR text,mark found,outcome,seconds\n";

QString outcomeWord(RunRecord::Outcome outcome)
{
    switch (outcome) {
    case RunRecord::Outcome::Cut:
        return QStringLiteral("cut");
    case RunRecord::Outcome::UncutNoMark:
        return QStringLiteral("uncut: no mark");
    case RunRecord::Outcome::UncutNoQrFile:
        return QStringLiteral("uncut: no QR file");
    case RunRecord::Outcome::Stopped:
        return QStringLiteral("stopped");
    case RunRecord::Outcome::CutterLost:
        return QStringLiteral("cutter lost");
    }
    return QString();
}

// RFC 4180: a field holding a comma, a quote, CR or LF is quoted, with its
// quotes doubled.
QString csvField(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\""))
                + QLatin1Char('"');
    }
    return text;
}

// "2026-12-07T10:15:03+01:00": Qt 5 writes a local time without its offset
// and a UTC one with "Z", so the offset is added here.
QString localIsoTime(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return local.toString(Qt::ISODate) + QLatin1Char(offset < 0 ? '-' : '+')
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray csvLine(const RunRecord &r)
{
    const WorkMode *mode = workMode(r.mode);
    const QString mark = !r.markFound ? QString() : *r.markFound ? QStringLiteral("yes") : QStringLiteral("no");
    const QStringList fields = {
        localIsoTime(r.start),
        localIsoTime(r.end),
        QStringLiteral("%1").arg(r.mode + 1, 2, 10, QLatin1Char('0')),
        mode ? QString::fromLatin1(mode->title) : QString(),
        r.link,
        r.plotFile,
        r.qrText,
        mark,
        outcomeWord(r.outcome),
        QString::number(r.start.msecsTo(r.end) / 1000.0, 'f', 1),
    };
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    return quoted.join(QLatin1Char(',')).toUtf8() + '\n';
}

// What must come before a new line so that it begins a record of its own:
// the header in an empty file; after a line cut short, a quote when it ends
// inside a quoted field and a line end. The writer puts quotes only into
// quoted fields, each pair opening and closing one or standing for one quote,
// so an odd count means the file ends inside a quoted field.
QByteArray leadIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return kHeader;
    qint64 quotes = 0;
    char last = '\n';
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            break;
        quotes += chunk.count('"');
        last = chunk.back();
    }
    if (quotes % 2)
        return QByteArrayLiteral("\"\n");
    return last == '\n' ? QByteArray() : QByteArrayLiteral("\n");
}

} // namespace

RunLog::RunLog(const QString &directory, qint64 rotateBytes)
    : m_directory(directory)
    , m_rotateBytes(rotateBytes)
{
}

QString RunLog::filePath() const
{
    return QDir(m_directory).filePath(QStringLiteral("runs.csv"));
}

bool RunLog::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool RunLog::append(const RunRecord &record)
{
    m_error.clear();
    if (!QDir().mkpath(m_directory))
        return fail(tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(m_directory)));
    rotateIfFull();
    const QByteArray bytes = leadIn(filePath()) + csvLine(record);
    QFile file(filePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(filePath()), file.errorString()));
    const qint64 before = file.size();
    // Unbuffered: the whole line goes to the kernel in one write, and fsync
    // takes it to the disk before the next sheet begins.
    QString why;
    if (file.write(bytes) != bytes.size())
        why = file.errorString();
    else if (::fsync(file.handle()) != 0)
        why = qt_error_string(errno);
    if (why.isEmpty())
        return true;
    file.resize(before); // a part of a line (a full disk) would spoil the next one
    return fail(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(filePath()), why));
}

// A log that cannot be renamed grows on: the sheet's line matters more than the size.
void RunLog::rotateIfFull()
{
    const QFileInfo info(filePath());
    if (!info.exists() || info.size() == 0 || info.size() < m_rotateBytes)
        return;
    const QDir dir(m_directory);
    const QString stem = QStringLiteral("runs-") + info.lastModified().date().toString(Qt::ISODate);
    QString name = stem + QStringLiteral(".csv");
    for (int n = 2; dir.exists(name); ++n)
        name = stem + QStringLiteral("-%1.csv").arg(n);
    if (!QFile::rename(info.filePath(), dir.filePath(name)))
        qWarning().noquote() << "The run log" << info.filePath() << "could not be renamed to" << name;
}
