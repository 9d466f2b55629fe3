#include "pltsolve.h"

#include <QByteArray>

namespace {

// Appends the decimal form of v; the block is pure ASCII, so it is built as
// bytes and turned into a QString once.
void appendNumber(QByteArray &out, qint64 v)
{
    char digits[24];
    int n = 0;
    const bool negative = v < 0;
    quint64 magnitude = negative ? quint64(0) - quint64(v) : quint64(v);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        out.append('-');
    while (n > 0)
        out.append(digits[--n]);
}

void appendPoint(QByteArray &out, const QPointF &p)
{
    appendNumber(out, roundCoordinate(p.x()));
    out.append(',');
    appendNumber(out, roundCoordinate(p.y()));
}

void appendPath(QByteArray &out, const PlotPath &path)
{
    const QList<QLineF> &segs = path.segments;
    if (segs.isEmpty())
        return;
    out.append("PU");
    appendPoint(out, segs.first().p1());
    out.append(';');
    for (int k = 0; k < segs.size(); ++k) {
        if (k == 0) {
            out.append("PD");
        } else if (segs.at(k).p1() != segs.at(k - 1).p2()) {
            out.chop(1); // the comma after the previous point
            out.append(";PU");
            appendPoint(out, segs.at(k).p1());
            out.append(";PD");
        }
        appendPoint(out, segs.at(k).p2());
        if (k + 1 < segs.size())
            out.append(',');
    }
    out.append(';');
}

} // namespace

QString PltSolve::serializeBlock(const PlotPathList &paths, const char *opening,
                                 const char *closing) const
{
    QByteArray out(opening);
    int segments = 0;
    for (const PlotPath &path : paths)
        segments += path.segments.size();
    out.reserve(16 + segments * 12 + paths.size() * 16);
    for (const PlotPath &path : paths)
        appendPath(out, path);
    out.append(closing);
    return QString::fromLatin1(out);
}

QString PltSolve::serializeCrease(const PlotPathList &paths) const
{
    return serializeBlock(paths, "IN;PA;SP1;", "PU;");
}

QString PltSolve::serializeCut(const PlotPathList &paths) const
{
    return serializeBlock(paths, "SP2;", "PU;!PG;");
}

QString PltSolve::serializePlain(const PlotPathList &paths) const
{
    return serializeBlock(paths, "IN;PA;", "PU;");
}
