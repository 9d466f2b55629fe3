#pragma once
#include "pltsolve.h"

#include <QString>

// Preparing the HPGL text of one sheet from a plot file, shared by every job
// procedure and by the pltjob tool.

// The link a sheet goes over: the modes order their paths differently on each.
enum class SheetLink { Usb, Network };

// Everything sheet preparation needs besides the plot text. Offsets are in
// plotter units (the millimetre value times 40, 0 when its check box is off);
// pass counts are the repeat spin box value, or 1 when repeating is off.
struct SheetOptions
{
    int headerDigit = 3;
    bool sendHeader = false;
    bool forceQrDigit = false;
    bool orderInnerFirst = true;
    bool rotate = false;
    int creasePasses = 1; // <= 0: no crease block
    int cutPasses = 1;    // <= 0: no cut block
    double knifeOffset = 0.0;
    double closeOffset = 0.0;
};

struct PreparedSheet
{
    // False when there is no sheet: the text is empty or does not begin with
    // an MD instruction, or (tooLarge) the job text would pass 10^9
    // characters, or (noLines) neither section holds a line for its tool,
    // or (noSize) it is to be rotated but its MD instruction gives no width
    // or height above 0. Everything else is then empty.
    bool ok = false;
    bool tooLarge = false;
    bool noLines = false;
    bool noSize = false;
    // The run of MD instructions the text begins with, or the rebuilt
    // "MD0,0,d,c,digit;" when rotated. The QR digit is not forced here (the
    // design size comes from this header); only the job text carries it.
    QString header;
    // [header] + crease block x creasePasses + cut block (without "!PG;") x
    // cutPasses + "!PG;".
    QString jobText;
    PlotPathList crease; // ordered and rotated as the options say
    PlotPathList cut;    // ordered, rotated and knife compensated: what is cut
};

// Sheet preparation from the plot text (what readPlotFile returns). Pure: the
// same text and options always give the same sheet.
PreparedSheet prepareSheet(const QString &plotText, const SheetOptions &options);

// The same from a plot file path; an empty path or an unreadable file gives
// no sheet.
PreparedSheet prepareSheetFile(const QString &path, const SheetOptions &options);

// The run of consecutive MD instructions at the very start of the text, each
// "MD" up to the next ';' on the same line ("" when the text does not begin
// with "MD").
QString leadingMdRun(const QString &text);
