#include "preview.h"
#include "cutview.h"
#include "knifeview.h"
#include "mdsize.h"

#include <QFile>

namespace {

PlotPathList quarterTurn(const PltSolve &solve, const PlotPathList &paths, double height)
{
    return solve.flipY(solve.transposeXY(paths), height);
}

double unitsWhenOn(bool on, double mm, int unitsPerMm)
{
    return on ? mm * unitsPerMm : 0.0;
}

} // namespace

PlotPathList previewPaths(const PltSolve &solve, const QString &filePath, bool rotate,
                          const RouteOptions &route, int unitsPerMm)
{
    if (!QFile::exists(filePath))
        return {};
    const QStringList sections = solve.splitSections(solve.readPlotFile(filePath));
    PlotPathList crease = solve.parsePaths(sections.at(1));
    PlotPathList cut = solve.parsePaths(sections.at(2));
    if (rotate) {
        const double height = parseMdSize(sections.at(0)).height();
        crease = quarterTurn(solve, crease, height);
        cut = quarterTurn(solve, cut, height);
    }
    const double knife = unitsWhenOn(route.knifeOffsetOn, route.knifeOffsetMm, unitsPerMm);
    const double close = unitsWhenOn(route.closeOffsetOn, route.closeOffsetMm, unitsPerMm);
    return crease + solve.compensateKnife(cut, knife, close);
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
