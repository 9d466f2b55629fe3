#pragma once
#include <QPoint>

#include <array>
#include <optional>

struct FeedSettings;

// The auto-feed procedures (work modes 6..11, their differences in the
// WorkMode row's AutoFeedRow). CutterJobs::runAutoFeed runs the steps they
// share, reading the row; all six order inner first and use USB.
//
// A run: the cutter checks its media container ("CMD:108;"), feeds a sheet
// ("CMD:109,0,0,0,0;") and moves it in ("CMD:105,<mm>;"), the carriage goes
// to the start position, the sheet is registered (mark, QR code) and cut, and
// the cutter moves it out; `count` goes down by one per sheet, until it is 0,
// Stop, Cancel in the paper box, or the cutter is unplugged.

// Pauses of the auto-feed procedures, ms. Tests shorten them; the program
// keeps these values.
struct AutoFeedPauses
{
    int afterMove = 500;         // after a "PU" move, before the status poll
    int afterSheetIn = 1000;     // after "CMD:5;"
    int beforeUncutEject = 5000; // before "!PG;" when the mark was not found
};

// Time left in an auto-feed run, ms: every sheet still to do (the current one
// included, sheetsLeft) takes as long as the sheets done took on average, and
// never less than the feed interval; the time already spent on the current
// sheet is taken off. None before a sheet has been timed.
std::optional<qint64> timeLeftMs(int sheetsDone, qint64 intoSheetMs, qint64 doneSheetsMs, int sheetsLeft,
                                 int feedIntervalSecs);

// The start position P1 and the three further search positions P2..P4,
// plotter units, for a design whose MD instruction's fourth number (extent
// along the second axis) is designWidth:
// P1 = (feedStartX, feedCenterY + offsetArg x 40 - designWidth / 2), the
// division truncating toward zero; P2 = P1 + (0, scanStepY);
// P3 = P1 + (scanStepX, scanStepY); P4 = P1 + (scanStepX, 0).
std::array<QPoint, 4> feedPositions(const FeedSettings &feed, int designWidth);
