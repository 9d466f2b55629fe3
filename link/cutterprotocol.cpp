#include "cutterprotocol.h"

namespace CutterProtocol {

QString moveSheetCmd(int mm)
{
    return QStringLiteral("CMD:105,%1;").arg(mm);
}

QString cameraSetupCmd(const QString &ssid, const QString &passphrase)
{
    return QStringLiteral("CMD:107,") + ssid + QLatin1Char(',') + passphrase + QLatin1Char(';');
}

QString calibrationResultCmd(double a, double b)
{
    return QStringLiteral("CMD:201,") + QString::number(a) + QLatin1Char(',') + QString::number(b)
        + QLatin1Char(';');
}

QString penUpMove(int x, int y)
{
    return QStringLiteral("PU%1,%2;").arg(x).arg(y);
}

QString knifeMove(int x, int y)
{
    return knifeMove(QString::number(x), QString::number(y));
}

QString knifeMove(const QString &x, const QString &y)
{
    return QStringLiteral("SP2;PU%1,%2;").arg(x, y);
}

Position parsePosition(const QString &reply)
{
    Position p;
    const int comma = reply.indexOf(QLatin1Char(','));
    if (comma < 0) {
        p.x = reply.toInt();
        return p;
    }
    p.x = reply.left(comma).toInt();
    QString rest = reply.mid(comma + 1);
    rest.remove(QLatin1Char(';'));
    p.y = rest.toInt();
    return p;
}

MarkReading parseMark(const QString &reply)
{
    QString text = reply;
    for (const QChar label : {QLatin1Char('='), QLatin1Char('D'), QLatin1Char('Y'), QLatin1Char('X')})
        text.remove(label);
    MarkReading m;
    QString field;
    for (const QChar c : text) {
        const bool last = m.count == 2;
        if ((!last && c == QLatin1Char(',')) || (last && c == QLatin1Char(';'))) {
            m.values[m.count++] = field.toDouble();
            field.clear();
            if (m.count == 3)
                break;
        } else {
            field += c;
        }
    }
    return m;
}

} // namespace CutterProtocol
