#pragma once
#include "pltsolve.h"

#include <QByteArray>
#include <QSize>
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
// set. With `innerFirst` each section is ordered inner shapes first before
// it is turned, as a sheet over a link that orders them is prepared
// (prepareSheet), so the list is in cutting order. Offsets are converted with
// `unitsPerMm`. A path naming no regular file, or one over
// PltSolve::kMaxFileBytes, gives an empty list, an unreadable or empty file
// what the plot reader makes of "" (nothing).
//
// The file is read afresh at every call; bytes equal to the ones read last
// time, with the same rotate setting, are not decoded, parsed and turned
// again, so a window can call this at every option change.
class PreviewSource
{
public:
    PlotPathList paths(const PltSolve &solve, const QString &filePath, bool rotate,
                       const RouteOptions &route, int unitsPerMm, bool innerFirst = false);
    // The MD size of the file last read (parseMdSize of its leading MD
    // instructions), transposed when turned: the design size a matrix job
    // lays its places out by. Empty when the file does not begin with an MD
    // instruction, or none was read.
    QSize designSize() const { return design; }

private:
    bool valid = false; // bytes, rotated, ordered, crease, cut and design describe a file read
    QByteArray bytes;   // the file as last read
    bool rotated = false;
    bool ordered = false; // inner shapes first
    QSize design;
    PlotPathList crease; // parsed, turned when rotated
    PlotPathList cut;    // parsed, turned when rotated, not compensated
};

// Copies the route options into the two illustrations (they repaint with the window).
void showRouteOptions(CutView &cutView, KnifeView &knifeView, const RouteOptions &route);
