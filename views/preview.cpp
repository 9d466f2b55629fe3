#include "preview.h"
#include "cutview.h"
#include "knifeview.h"
#include "mdsize.h"

#include <QFile>
#include <QTextStream>

namespace {

struct Sections
{
    PlotPathList crease;
    PlotPathList cut;
};

Sections parseSections(const PltSolve &solve, const QString &text, bool rotate)
{
    const QStringList sections = solve.splitSections(text);
    Sections parsed{solve.parsePaths(sections.at(1)), solve.parsePaths(sections.at(2))};
    if (rotate) {
        const double height = parseMdSize(sections.at(0)).height();
        parsed.crease = solve.flipY(solve.transposeXY(parsed.crease), height);
        parsed.cut = solve.flipY(solve.transposeXY(parsed.cut), height);
    }
    return parsed;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text readPlotFile makes of a file holding these bytes: decoded by a
// text stream (the locale's codec) in text mode, which drops the '\r's.
QString plotText(const QByteArray &bytes)
{
    QTextStream stream(bytes, QIODevice::ReadOnly | QIODevice::Text);
    return stream.readAll();
}

double unitsWhenOn(bool on, double mm, int unitsPerMm)
{
    return on ? mm * unitsPerMm : 0.0;
}

PlotPathList creaseThenCompensatedCut(const PltSolve &solve, const Sections &sections,
                                      const RouteOptions &route, int unitsPerMm)
{
    const double knife = unitsWhenOn(route.knifeOffsetOn, route.knifeOffsetMm, unitsPerMm);
    const double close = unitsWhenOn(route.closeOffsetOn, route.closeOffsetMm, unitsPerMm);
    return sections.crease + solve.compensateKnife(sections.cut, knife, close);
}

} // namespace

PlotPathList PreviewSource::paths(const PltSolve &solve, const QString &filePath, bool rotate,
                                  const RouteOptions &route, int unitsPerMm)
{
    if (!QFile::exists(filePath)) {
        *this = PreviewSource();
        return {};
    }
    // Comparing the bytes spares decoding an unchanged file of megabytes.
    const QByteArray read = fileBytes(filePath);
    if (!valid || read != bytes || rotate != rotated) {
        const Sections sections = parseSections(solve, plotText(read), rotate);
        valid = true;
        bytes = read;
        rotated = rotate;
        crease = sections.crease;
        cut = sections.cut;
    }
    return creaseThenCompensatedCut(solve, Sections{crease, cut}, route, unitsPerMm);
}

void showRouteOptions(CutView &cutView, KnifeView &knifeView, const RouteOptions &route)
{
    cutView.knifeOffsetOn = route.knifeOffsetOn;
    cutView.knifeOffsetMm = route.knifeOffsetMm;
    cutView.closeOffsetOn = route.closeOffsetOn;
    cutView.closeOffsetMm = route.closeOffsetMm;
    knifeView.knifeOffsetOn = route.knifeOffsetOn;
    knifeView.knifeOffsetMm = route.knifeOffsetMm;
}
