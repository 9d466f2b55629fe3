#pragma once
#include <QPoint>

#include <array>

struct FeedSettings;

// The six auto-feed procedures (work modes 6..11) as a table of their
// differences. CutterJobs::runAutoFeed runs the steps they share, reading the
// row. How a mode prepares its sheet (header digit, header sent, QR digit) is
// plot/sheet.h's sheetModeRow(mode); all six order inner first and use USB.
//
// A run: the cutter checks its media container ("CMD:108;"), feeds a sheet
// ("CMD:109,0,0,0,0;") and moves it in ("CMD:105,<mm>;"), the carriage goes
// to the start position, the sheet is registered (mark, QR code) and cut, and
// the cutter moves it out; `count` goes down by one per sheet, until it is 0,
// Stop, Cancel in the paper box, or the cutter is unplugged.

enum class Feeding {
    Single,       // each sheet is fed, cut and moved out before the next is fed
    WhileCutting, // the next sheet is pre-fed ("CMD:110;") while this one is cut
};

enum class Content {
    Blank, // the plot file, no registration
    Mark,  // the plot file, registered by the mark and the MD handshake
    Qr,    // the plot file named by the QR code on each sheet, then as Mark
};

// The distance of the move that takes a cut sheet out.
enum class LastMove { EjectDist, FeedDist };

struct AutoFeedRow
{
    const char *name; // the procedure's name, for logs
    int mode;         // work mode 6..11
    Feeding feeding;
    Content content;
    LastMove lastMove;
    // Feed While Cutting: after "CMD:108;" the next sheet is pre-fed when the
    // reply is "PAPEROK;" (or, with anyReplyButNoPaper, anything but
    // "NOPAPER;", even none at all) and, with onlyIfMoreSheets, `count` > 1.
    bool anyReplyButNoPaper;
    bool onlyIfMoreSheets;
    int preFeedCheckMs;    // limit of that read, ms; -1 waits without limit
    bool pauseBeforeUncut; // pause before moving out a sheet whose mark was not found
};

// Modes 6 to 11 in order.
extern const AutoFeedRow kAutoFeedRows[6];

// Pauses of the auto-feed procedures, ms. Tests shorten them; the program
// keeps these values.
struct AutoFeedPauses
{
    int afterMove = 500;         // after a "PU" move, before the status poll
    int afterSheetIn = 1000;     // after "CMD:5;"
    int beforeUncutEject = 5000; // before "!PG;" when the mark was not found
};

// The start position P1 and the three further search positions P2..P4,
// plotter units, for a design whose MD instruction's fourth number (extent
// along the second axis) is designWidth:
// P1 = (feedStartX, feedCenterY + offsetArg x 40 - designWidth / 2), the
// division truncating toward zero; P2 = P1 + (0, scanStepY);
// P3 = P1 + (scanStepX, scanStepY); P4 = P1 + (scanStepX, 0).
std::array<QPoint, 4> feedPositions(const FeedSettings &feed, int designWidth);
