#include "preview.h"
#include "cutview.h"
#include "knifeview.h"
#include "mdsize.h"
#include "sheet.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

struct Sections
{
    PlotPathList crease;
    PlotPathList cut;
    QSize design;
};

// In prepareSheet's steps: parsed, ordered, turned.
Sections parseSections(const PltSolve &solve, const QString &text, bool rotate, bool innerFirst)
{
    const PltSolve::ToolPaths paths = solve.toolPaths(text);
    Sections parsed{paths.crease, paths.cut, parseMdSize(leadingMdRun(text))};
    if (innerFirst) {
        parsed.crease = solve.orderInnerFirst(parsed.crease);
        parsed.cut = solve.orderInnerFirst(parsed.cut);
    }
    if (rotate) {
        const double height = parsed.design.height();
        parsed.design.transpose();
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
                                  const RouteOptions &route, int unitsPerMm, bool innerFirst)
{
    if (!PltSolve::isPlotFileSized(QFileInfo(filePath))) {
        *this = PreviewSource();
        return {};
    }
    // Comparing the bytes spares decoding an unchanged file of megabytes.
    const QByteArray read = fileBytes(filePath);
    if (!valid || read != bytes || rotate != rotated || innerFirst != ordered) {
        const Sections sections = parseSections(solve, plotText(read), rotate, innerFirst);
        valid = true;
        bytes = read;
        rotated = rotate;
        ordered = innerFirst;
        crease = sections.crease;
        cut = sections.cut;
        design = sections.design;
    }
    return creaseThenCompensatedCut(solve, Sections{crease, cut, design}, route, unitsPerMm);
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
