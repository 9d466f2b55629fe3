#include "simcutter.h"

SimCutter::SimCutter(SimConfig config) : m_config(std::move(config))
{
    m_clock.start();
}

QList<QByteArray> SimCutter::receive(const QByteArray &bytes)
{
    int from = m_pending.size(); // only the new bytes can end an instruction
    m_pending += bytes;
    QList<QByteArray> replies;
    int end;
    while ((end = m_pending.indexOf(';', from)) >= 0) {
        const QString instruction = QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
        from = 0;
        m_instructions << instruction;
        QByteArray reply = handle(instruction);
        if (reply.isNull())
            continue;
        if (!m_config.scriptedReplies.isEmpty())
            reply = m_config.scriptedReplies.takeFirst().toUtf8();
        replies << reply;
    }
    return replies;
}

bool SimCutter::busy() const
{
    return m_clock.elapsed() < m_busyUntil;
}

void SimCutter::startBusy()
{
    m_busyUntil = m_clock.elapsed() + m_config.busyMs;
}

QString SimCutter::takeNext(QStringList &queue, const QString &fallback)
{
    if (queue.isEmpty())
        return fallback;
    return queue.size() == 1 ? queue.first() : queue.takeFirst();
}

// Returns the reply, or a null array for an instruction the cutter does not answer.
QByteArray SimCutter::handle(const QString &instruction)
{
    if (instruction.startsWith(QLatin1String("CMD:"))) {
        QStringList parts = instruction.mid(4).split(QLatin1Char(','));
        bool ok = false;
        const int number = parts.takeFirst().toInt(&ok);
        return ok ? handleCommand(number, parts) : QByteArray();
    }
    if (instruction == QLatin1String("!PG")) {
        m_finished << m_sheet;
        m_sheet = SimSheet();
        startBusy();
        return QByteArray();
    }
    const QString mnemonic = instruction.left(2).toUpper();
    if (mnemonic == QLatin1String("MD")) {
        const QStringList f = instruction.mid(2).split(QLatin1Char(','));
        if (f.size() >= 4)
            m_sheet.mdSize = QSize(f.at(2).toInt(), f.at(3).toInt());
        return takeNext(m_config.mdReplies, QStringLiteral("MD_OK;")).toUtf8();
    }
    handlePlot(mnemonic, instruction.mid(2));
    return QByteArray();
}

QByteArray SimCutter::handleCommand(int number, const QStringList &args)
{
    switch (number) {
    case 10:
        return busy() ? QByteArrayLiteral("BUSY;") : QByteArrayLiteral("FREE;");
    case 110: // the pre-feed takes the next sheet from the container, if there is one
        if (m_config.sheets > 0)
            --m_config.sheets;
        return QByteArrayLiteral("OK;");
    case 5:
    case 6:
    case 111:
    case 201:
    case 202:
        return QByteArrayLiteral("OK;");
    case 101:
        return takeNext(m_config.qrReplies, QStringLiteral("NOQR;")).toUtf8();
    case 105:
        startBusy();
        return QByteArrayLiteral("MOVEOK;");
    case 106:
        return takeNext(m_config.markReplies, QStringLiteral("NOMARK;")).toUtf8();
    case 107:
        return m_config.cameraAddress.toUtf8();
    case 108:
        return m_config.sheets > 0 ? QByteArrayLiteral("PAPEROK;") : QByteArrayLiteral("NOPAPER;");
    case 109:
        if (m_config.sheets <= 0)
            return QByteArrayLiteral("NOPAPER;");
        --m_config.sheets;
        startBusy();
        return QByteArrayLiteral("FEEDOK;");
    case 203:
        return QStringLiteral("%1,%2;").arg(m_position.x()).arg(m_position.y()).toUtf8();
    default:
        Q_UNUSED(args);
        return QByteArray();
    }
}

void SimCutter::handlePlot(const QString &mnemonic, const QString &params)
{
    if (mnemonic == QLatin1String("SP")) {
        m_pen = params.toInt();
        return;
    }
    if (mnemonic == QLatin1String("IN")) {
        m_pen = 0;
        return;
    }
    if (mnemonic != QLatin1String("PU") && mnemonic != QLatin1String("PD"))
        return;
    const QStringList numbers = params.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const bool down = mnemonic == QLatin1String("PD");
    for (int i = 0; i + 1 < numbers.size(); i += 2) {
        const QPoint to(numbers.at(i).toInt(), numbers.at(i + 1).toInt());
        if (down)
            m_sheet.lines << SimLine{QLineF(m_position, to), m_pen};
        m_position = to;
    }
    if (numbers.size() >= 2)
        startBusy();
}
