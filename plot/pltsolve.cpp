#include "pltsolve.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

bool PlotPath::operator==(const PlotPath &other) const
{
    return pen == other.pen && lineType == other.lineType
        && patternLength == other.patternLength && lineTypeMode == other.lineTypeMode
        && segments == other.segments;
}

PltSolve::PltSolve(QObject *parent)
    : QObject(parent)
    , pi(4 * std::atan(1.0))
{
}

QString PltSolve::readPlotFile(const QString &path) const
{
    if (path.isEmpty() || !isPlotFileSized(QFileInfo(path)))
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream stream(&file);
    return stream.readAll();
}

namespace {

// Index of the first "MD" that a ';' follows on the same line, or -1. The
// same as searching for the pattern MD.*?; ('.' stops at a line feed), in one
// pass: every MD before the same line feed fails the same way.
bool containsMdInstruction(const QString &text)
{
    const QChar *c = text.constData();
    const int n = text.size();
    int i = 0;
    while (i + 1 < n) {
        if (c[i] != QLatin1Char('M') || c[i + 1] != QLatin1Char('D')) {
            ++i;
            continue;
        }
        int j = i + 2;
        while (j < n && c[j] != QLatin1Char(';') && c[j] != QLatin1Char('\n'))
            ++j;
        if (j < n && c[j] == QLatin1Char(';'))
            return true;
        i = j + 1;
    }
    return false;
}

QString section(const QString &text, const QString &open, const QString &close)
{
    const int start = text.indexOf(open);
    if (start < 0)
        return QString();
    // The close is looked for after the open: a file that cuts before it
    // creases has its "SP2;" ahead of the crease section's "SP1;".
    const int end = text.indexOf(close, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

} // namespace

PltSolve::ToolPaths PltSolve::toolPaths(const QString &text) const
{
    const QStringList sections = splitSections(text);
    if (!sections.at(2).contains(QLatin1String("SP1;")))
        return {parsePaths(sections.at(1)), parsePaths(sections.at(2))};
    const int first = std::min(text.indexOf(QLatin1String("SP1;")), text.indexOf(QLatin1String("SP2;")));
    const int end = text.indexOf(QLatin1String("!PG;"), first);
    ToolPaths byPen;
    for (const PlotPath &path : parsePaths(text.mid(first, end < 0 ? -1 : end - first)))
        (path.pen == 1 ? byPen.crease : byPen.cut) << path;
    return byPen;
}

QStringList PltSolve::splitSections(const QString &text) const
{
    QString header;
    if (containsMdInstruction(text))
        header = text.left(text.indexOf(QLatin1Char(';')) + 1);
    return {header, section(text, QStringLiteral("SP1;"), QStringLiteral("SP2;")),
            section(text, QStringLiteral("SP2;"), QStringLiteral("!PG;"))};
}

namespace {

// Accumulates the characters of one number and converts them exactly as
// QString::toInt would ('-' and digits only reach it): an optional leading
// '-' and at least one digit within the int range, anything else 0. Keeps
// no text, so an endless run of digits costs no memory.
class IntBuffer
{
public:
    void append(ushort ch)
    {
        if (ch == '-') {
            if (m_length > 0)
                m_valid = false;
            m_negative = true;
        } else {
            ++m_digits;
            if (m_magnitude <= 0x80000000LL)
                m_magnitude = m_magnitude * 10 + (ch - '0');
        }
        ++m_length;
    }
    bool isEmpty() const { return m_length == 0; }
    int take()
    {
        int value = 0;
        const qint64 limit = m_negative ? 0x80000000LL : 0x7fffffffLL;
        if (m_valid && m_digits > 0 && m_magnitude <= limit)
            value = int(m_negative ? -m_magnitude : m_magnitude);
        *this = IntBuffer();
        return value;
    }

private:
    qint64 m_magnitude = 0;
    int m_length = 0;
    int m_digits = 0;
    bool m_negative = false;
    bool m_valid = true;
};

bool isDigit(ushort ch) { return ch >= '0' && ch <= '9'; }

class PathParser
{
public:
    PlotPathList run(const QString &text)
    {
        for (const QChar qc : text)
            step(qc.unicode());
        flushPath();
        return m_result;
    }

private:
    enum State { Idle, AfterP, AfterS, AfterL, ReadX, ReadY, ReadPen, ReadLineType };

    void step(ushort ch)
    {
        switch (m_state) {
        case Idle:
            m_state = ch == 'P' ? AfterP : ch == 'S' ? AfterS : ch == 'L' ? AfterL : Idle;
            break;
        case AfterP:
            if (ch == 'D')
                m_penDown = true;
            else if (ch == 'U')
                m_penDown = false;
            m_state = (ch == 'A' || ch == 'D' || ch == 'U') ? ReadX : Idle;
            break;
        case AfterS:
            m_state = ch == 'P' ? ReadPen : Idle;
            break;
        case AfterL:
            m_state = ch == 'T' ? ReadLineType : Idle;
            break;
        case ReadX:
            readX(ch);
            break;
        case ReadY:
            readY(ch);
            break;
        case ReadPen:
            if (ch == ';') {
                m_pen = m_penBuffer.take();
                m_state = Idle;
            } else if (isDigit(ch)) {
                m_penBuffer.append(ch);
            }
            break;
        case ReadLineType:
            readLineType(ch);
            break;
        }
    }

    void readX(ushort ch)
    {
        if (ch == ' ' || ch == ',') {
            if (!m_x.isEmpty()) {
                m_pendingX = m_x.take();
                m_state = ReadY;
            }
        } else if (ch == ';') {
            m_x.take();
            m_state = Idle;
        } else if (ch == '-' || isDigit(ch)) {
            m_x.append(ch);
        }
    }

    void readY(ushort ch)
    {
        if (ch == ',' || ch == ';') {
            emitPoint(QPointF(m_pendingX, m_y.take()));
            m_state = ch == ',' ? ReadX : Idle;
        } else if (ch == '-' || isDigit(ch)) {
            m_y.append(ch);
        }
    }

    void readLineType(ushort ch)
    {
        if (ch == ' ' || ch == ',') {
            if (m_ltIndex == 0)
                m_lineType = m_ltBuffer.toInt();
            else if (m_ltIndex == 1)
                m_patternLength = m_ltBuffer.toDouble();
            if (m_ltIndex < 2) {
                m_ltBuffer.clear();
                ++m_ltIndex;
            }
        } else if (ch == ';') {
            if (m_ltIndex == 0 && m_ltBuffer.isEmpty()) {
                m_lineType = 0;
                m_patternLength = 0.0;
                m_lineTypeMode = 0;
            } else if (m_ltIndex == 0) {
                m_lineType = m_ltBuffer.toInt();
            } else if (m_ltIndex == 1) {
                m_patternLength = m_ltBuffer.toDouble();
            } else {
                m_lineTypeMode = m_ltBuffer.toInt();
            }
            m_ltBuffer.clear();
            m_ltIndex = 0;
            m_state = Idle;
        } else if (ch == '-' || ch == '.' || isDigit(ch)) {
            m_ltBuffer.append(QChar(ch));
        }
    }

    void emitPoint(const QPointF &p)
    {
        if (m_penDown) {
            if (!m_hasPenDownEnd || m_position != m_penDownEnd) {
                flushPath();
                m_open.pen = m_pen;
                m_open.lineType = m_lineType;
                m_open.patternLength = m_patternLength;
                m_open.lineTypeMode = m_lineTypeMode;
            }
            m_open.segments.append(QLineF(m_position, p));
            m_penDownEnd = p;
            m_hasPenDownEnd = true;
        }
        m_position = p;
    }

    void flushPath()
    {
        if (!m_open.segments.isEmpty())
            m_result.append(m_open);
        m_open = PlotPath();
    }

    State m_state = Idle;
    bool m_penDown = false;
    QPointF m_position;
    QPointF m_penDownEnd;
    bool m_hasPenDownEnd = false;
    int m_pen = 0;
    int m_lineType = 0;
    double m_patternLength = 0.0;
    int m_lineTypeMode = 0;
    int m_ltIndex = 0;
    int m_pendingX = 0;
    IntBuffer m_x, m_y, m_penBuffer;
    QString m_ltBuffer;
    PlotPath m_open;
    PlotPathList m_result;
};

bool endsRoundApart(const QLineF &s)
{
    return roundCoordinate(s.x1()) != roundCoordinate(s.x2())
        || roundCoordinate(s.y1()) != roundCoordinate(s.y2());
}

bool hasNaN(const QLineF &s)
{
    return std::isnan(s.x1()) || std::isnan(s.y1()) || std::isnan(s.x2()) || std::isnan(s.y2());
}

bool isKept(const QLineF &s)
{
    return !hasNaN(s) && endsRoundApart(s);
}

template<typename MapPoint>
PlotPathList mapPoints(const PlotPathList &paths, MapPoint map)
{
    PlotPathList result = paths;
    for (PlotPath &path : result)
        for (QLineF &s : path.segments)
            s = QLineF(map(s.p1()), map(s.p2()));
    return result;
}

} // namespace

PlotPathList PltSolve::parsePaths(const QString &section) const
{
    return dropDegenerate(PathParser().run(section));
}

PlotPathList PltSolve::dropDegenerate(const PlotPathList &paths) const
{
    PlotPathList result;
    result.reserve(paths.size());
    for (const PlotPath &path : paths) {
        if (std::all_of(path.segments.cbegin(), path.segments.cend(), isKept)) {
            if (!path.segments.isEmpty())
                result.append(path); // shares the segment list, no copy
            continue;
        }
        PlotPath kept = path;
        kept.segments.clear();
        kept.segments.reserve(path.segments.size());
        for (const QLineF &s : path.segments)
            if (isKept(s))
                kept.segments.append(s);
        if (!kept.segments.isEmpty())
            result.append(kept);
    }
    return result;
}

QRectF PltSolve::boundingRect(const PlotPath &path) const
{
    if (path.segments.isEmpty())
        return QRectF();
    const QPointF first = path.segments.first().p1();
    double minX = first.x(), maxX = first.x(), minY = first.y(), maxY = first.y();
    for (const QLineF &s : path.segments) {
        for (const QPointF &p : {s.p1(), s.p2()}) {
            minX = qMin(minX, p.x());
            maxX = qMax(maxX, p.x());
            minY = qMin(minY, p.y());
            maxY = qMax(maxY, p.y());
        }
    }
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}

PlotPathList PltSolve::transposeXY(const PlotPathList &paths) const
{
    return mapPoints(paths, [](const QPointF &p) { return QPointF(p.y(), p.x()); });
}

PlotPathList PltSolve::flipY(const PlotPathList &paths, double h) const
{
    return mapPoints(paths, [h](const QPointF &p) { return QPointF(p.x(), h - p.y()); });
}

PlotPathList PltSolve::translatePaths(const PlotPathList &paths, double dx, double dy) const
{
    return mapPoints(paths, [dx, dy](const QPointF &p) { return QPointF(p.x() - dx, p.y() - dy); });
}
