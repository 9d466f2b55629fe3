#pragma once
#include "sheet.h"

#include <QString>

#include <array>
#include <optional>

// The twelve work modes, one row each, in the order the mode buttons step
// through them: what the window shows for the mode, how its sheets are
// prepared over each link, and which procedure runs it with which
// parameters. Everything that differs between modes is here; the window and
// the procedures read the row.

enum class JobLink { Usb, Network };
enum class Procedure { OneSheet, Matrix, AutoFeed };
enum class QrSelection { None, OneSheet, EverySheet };

// Auto-feed modes (6..11).
enum class Feeding {
    Single,       // each sheet is fed, cut and moved out before the next is fed
    WhileCutting, // the next sheet is pre-fed ("CMD:110;") while this one is cut
};
enum class Content {
    Blank, // the plot file, no registration
    Mark,  // the plot file, registered by the mark and the MD handshake
    Qr,    // the plot file named by the QR code on each sheet, then as Mark
};
enum class LastMove { EjectDist, FeedDist }; // the move that takes a cut sheet out

struct AutoFeedRow
{
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

struct WorkMode
{
    // Shown by the window: English source texts, translated in the
    // MainWidget context (the auto-feed modes have an empty tip), and the
    // option groups shown with the mode.
    const char *title;
    const char *tip;
    bool showsMatrix; // matrix places and gaps
    bool showsFeed;   // feed group and the sheet counter
    bool showsEject;  // auto-feed: eject distance
    bool showsSmartScan;

    // Sheet preparation (see SheetOptions); only the ordering differs by link.
    int headerDigit;   // 3 blank, 4 mark, 5 QR
    bool sendHeader;
    bool forceQrDigit;
    bool innerFirstUsb;
    bool innerFirstNetwork;

    Procedure procedure;
    // One sheet and matrix: one reply is read after the job text; the plot
    // file named by the QR code on the sheet.
    bool readsJobReply;
    QrSelection qr;
    // Matrix: the operator's trigger keys listen while it runs.
    bool trigger() const { return procedure == Procedure::Matrix; }
    // Auto-feed (always over USB).
    AutoFeedRow feed;
};

extern const std::array<WorkMode, 12> kWorkModes;

// The row of mode 0 to 11; nullptr outside that range.
const WorkMode *workMode(int mode);

// The link a mode's job uses with the link type "USB" or "RJ45"; auto-feed
// modes always USB; nothing for another link type.
std::optional<JobLink> jobLinkFor(const WorkMode &mode, const QString &devType);

// Sheet options with the mode's preparation fields for that link and the
// route fields at their defaults (no rotation, one pass each, offsets off).
// A mode outside 0..11 gives mode 0's options.
SheetOptions sheetOptionsFor(int mode, SheetLink link);
SheetOptions sheetOptionsFor(const WorkMode &mode, SheetLink link);
