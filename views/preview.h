#pragma once
#include "pltsolve.h"

#include <QString>

class CutView;
class KnifeView;

// The route options as the form shows them: lengths in millimetres, each
// used only while its check box is ticked.
struct RouteOptions
{
    bool knifeOffsetOn = false;
    double knifeOffsetMm = 0.3;
    bool closeOffsetOn = false;
    double closeOffsetMm = 0.5;
};

// What the lines preview shows for a plot file: its crease paths followed by
// its knife-compensated cut paths, both turned a quarter (x and y exchanged,
// then mirrored about the sheet height of the MD header) when `rotate` is
// set. Offsets are converted with `unitsPerMm`. The file is read afresh at
// every call; a path naming no file gives an empty list, an unreadable or
// empty file gives what the plot reader makes of "" (nothing).
PlotPathList previewPaths(const PltSolve &solve, const QString &filePath, bool rotate,
                          const RouteOptions &route, int unitsPerMm);

// Copies the route options into the two illustrations (they repaint with the window).
void showRouteOptions(CutView &cutView, KnifeView &knifeView, const RouteOptions &route);
