#include "pltsolve.h"

#include <string>

namespace {

// Appends the decimal form of v.
void appendNumber(std::string &out, qint64 v)
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
        out.push_back('-');
    while (n > 0)
        out.push_back(digits[--n]);
}

void appendPoint(std::string &out, const QPointF &p)
{
    appendNumber(out, roundCoordinate(p.x()));
    out.push_back(',');
    appendNumber(out, roundCoordinate(p.y()));
}

// False, with the path written in part, once the text passes kMaxJobText:
// the check comes with each segment, as one path can be written far longer.
bool appendPath(std::string &out, const PlotPath &path)
{
    const QVector<QLineF> &segs = path.segments;
    if (segs.isEmpty())
        return true;
    out.append("PU");
    appendPoint(out, segs.first().p1());
    out.push_back(';');
    for (int k = 0; k < segs.size(); ++k) {
        if (k == 0) {
            out.append("PD");
        } else if (segs.at(k).p1() != segs.at(k - 1).p2()) {
            out.pop_back(); // the comma after the previous point
            out.append(";PU");
            appendPoint(out, segs.at(k).p1());
            out.append(";PD");
        }
        appendPoint(out, segs.at(k).p2());
        if (k + 1 < segs.size())
            out.push_back(',');
        if (qint64(out.size()) > kMaxJobText)
            return false;
    }
    out.push_back(';');
    return true;
}

} // namespace

QString PltSolve::serializeBlock(const PlotPathList &paths, const char *opening,
                                 const char *closing) const
{
    // Built as bytes (the block is ASCII) and turned into a QString once.
    // A block past kMaxJobText is not made: no job could carry it, and a
    // little more would not fit one QString.
    std::string out(opening);
    qint64 segments = 0;
    for (const PlotPath &path : paths)
        segments += path.segments.size();
    out.reserve(size_t(qMin(32 + segments * 16 + qint64(paths.size()) * 24, kMaxJobText)));
    for (const PlotPath &path : paths)
        if (!appendPath(out, path))
            return QString();
    out.append(closing);
    if (qint64(out.size()) > kMaxJobText)
        return QString();
    return QString::fromLatin1(out.data(), int(out.size()));
}

QString PltSolve::serializeCrease(const PlotPathList &paths) const
{
    return serializeBlock(paths, "IN;PA;SP1;", "PU;");
}

QString PltSolve::serializeCut(const PlotPathList &paths) const
{
    return serializeBlock(paths, "SP2;", "PU;!PG;");
}

QString PltSolve::serializeCutPass(const PlotPathList &paths) const
{
    // serializeCut without its "!PG;": the body holds only PU/PD, digits, '-',
    // ',' and ';', so the closing is the only "!PG;" in the block.
    return serializeBlock(paths, "SP2;", "PU;");
}

QString PltSolve::serializePlain(const PlotPathList &paths) const
{
    return serializeBlock(paths, "IN;PA;", "PU;");
}
