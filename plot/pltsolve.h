#pragma once
#include <QFileInfo>
#include <QLineF>
#include <QList>
#include <QVector>
#include <QMetaType>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>

// Coordinates everywhere in this header are HPGL plotter units held as
// double, 40 per mm; x points right and y points up, as on the cutter.

// Plotter units per millimetre: form lengths in mm become plot coordinates.
constexpr int kUnitsPerMm = 40;

// Most characters one job text may have: well below what one QString can
// hold (2^30 characters).
constexpr qint64 kMaxJobText = 1000 * 1000 * 1000;

// Most segments knife compensation gives for all paths together. A segment
// is written with 4 characters at the least and about 10 with a sheet's
// coordinates, so a cut of more would pass kMaxJobText in practice; the
// bound also keeps one path's segments (32 bytes each) within what a QVector
// holds (2^31 bytes).
constexpr qint64 kMaxCutSegments = kMaxJobText / 16;

// One continuous run of the tool. `pen` is the last SP number read before the
// path began (1 creasing tool, 2 knife, 0 none); the three line-type fields
// are the LT parameters in force when it began.
struct PlotPath
{
    int pen = 0;
    int lineType = 0;
    double patternLength = 0.0;
    int lineTypeMode = 0;
    QVector<QLineF> segments;

    // All four attributes equal and the same segments, each compared with
    // QPointF's fuzzy equality.
    bool operator==(const PlotPath &other) const;
    bool operator!=(const PlotPath &other) const { return !(*this == other); }
};

// A path is moved in memory as plain bytes (its segments are a shared
// pointer), so a vector of paths keeps them in one block.
Q_DECLARE_TYPEINFO(PlotPath, Q_MOVABLE_TYPE);

// Paths in cutting order, held in one contiguous block (a large file has tens
// of thousands). Lists made by parsePaths hold no empty path, no segment
// whose ends round to the same integer point and no NaN.
using PlotPathList = QVector<PlotPath>;
Q_DECLARE_METATYPE(PlotPath)

// Rounds half towards positive infinity, as QLineF::toLine does, but without
// the int range limit: coordinates moved by rotation or offsets may leave it.
// Inline: the preview and the serialiser round every coordinate of a file.
inline qint64 roundCoordinate(double v)
{
    // Same formula as qRound, carried out in 64 bits; beyond that range the
    // value is clamped instead of overflowing.
    constexpr double limit = 9.0e18;
    if (!(v < limit))
        return v != v ? 0 : qint64(limit);
    if (!(v > -limit))
        return -qint64(limit);
    if (v >= 0.0)
        return qint64(v + 0.5);
    const qint64 below = qint64(v - 1);
    return qint64(v - double(below) + 0.5) + below;
}

// Every plot operation. Stateless: each method is a pure function of its
// arguments, safe to call on separate values from any thread.
class PltSolve : public QObject
{
    Q_OBJECT
public:
    explicit PltSolve(QObject *parent = nullptr);

    // Largest plot file read, in bytes. Its text takes twice that, and the
    // paths made of it more; plot files are megabytes.
    static constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
    // A regular file (not a pipe or device: opening one may wait, reading it
    // may never end) of at most kMaxFileBytes: one the reader takes.
    static bool isPlotFileSized(const QFileInfo &info) { return info.isFile() && info.size() <= kMaxFileBytes; }
    // Whole megabytes of a file size, as the refusals say it.
    static qint64 megabytes(qint64 bytes) { return bytes / (1024 * 1024); }

    // Reading. readPlotFile returns the whole text ("" when the path is empty,
    // the file does not open, is not a regular file or is over
    // kMaxFileBytes); line ends become "\n".
    QString readPlotFile(const QString &path) const;
    // Exactly three strings: header (up to the first ';' when the text holds
    // an MD instruction), crease section from the first "SP1;" up to the next
    // "SP2;", cut section from the first "SP2;" up to the next "!PG;" (each to
    // the end without one). Each may be empty. A section may hold paths of the
    // other pen: in a file that cuts before it creases the cut section runs
    // over the crease section.
    QStringList splitSections(const QString &text) const;
    // Paths of one section, already passed through dropDegenerate.
    PlotPathList parsePaths(const QString &section) const;
    // The creasing tool's (pen 1) and the knife's paths of a whole plot text.
    // A file made for this cutter is read section by section; one that goes
    // back to pen 1 after "SP2;" is read whole from its first pen selection up
    // to "!PG;", each path going to the tool it was drawn with, so no line is
    // cut with the wrong tool or left out.
    struct ToolPaths
    {
        PlotPathList crease;
        PlotPathList cut;
    };
    ToolPaths toolPaths(const QString &text) const;
    // Keeps only segments whose ends round to different integer points and
    // hold no NaN; paths left empty are dropped.
    PlotPathList dropDegenerate(const PlotPathList &paths) const;

    // Knife offset and close offset (plotter units, 0 = off). With both 0 the
    // input comes back unchanged; otherwise one output path per input path.
    // Output that would pass maxSegments segments (at most kMaxCutSegments)
    // is not made: the result is empty and *tooLarge, when given, true.
    PlotPathList compensateKnife(const PlotPathList &paths, double knife, double close,
                                 bool *tooLarge = nullptr, qint64 maxSegments = kMaxCutSegments) const;
    // n (3 to 7) joined segments from A's end to B's start round the corner.
    QVector<QLineF> cornerArc(const QLineF &a, const QLineF &b, int n) const;

    // Box over both ends of all segments; the path needs one segment.
    QRectF boundingRect(const PlotPath &path) const;
    // Same paths, inner shapes before the shapes whose box contains theirs.
    // Two paths with identical boxes keep their order in the settling step.
    PlotPathList orderInnerFirst(const PlotPathList &paths) const;
    PlotPathList transposeXY(const PlotPathList &paths) const;
    PlotPathList flipY(const PlotPathList &paths, double h) const;
    // Every end (x, y) becomes (x - dx, y - dy).
    PlotPathList translatePaths(const PlotPathList &paths, double dx, double dy) const;

    // HPGL blocks, no spaces or line breaks, integer coordinates; "" for a
    // block that would pass kMaxJobText characters.
    QString serializeCrease(const PlotPathList &paths) const; // "IN;PA;SP1;" ... "PU;"
    QString serializeCut(const PlotPathList &paths) const;    // "SP2;" ... "PU;!PG;"
    QString serializePlain(const PlotPathList &paths) const;  // "IN;PA;" ... "PU;"
    // serializeCut with every "!PG;" removed: one cut pass of a sheet stream.
    QString serializeCutPass(const PlotPathList &paths) const;

    double pi;

private:
    QString serializeBlock(const PlotPathList &paths, const char *opening,
                           const char *closing) const;
};
