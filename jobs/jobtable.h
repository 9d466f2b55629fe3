#pragma once
#include <QString>

class CutterJobs;

// The work-mode procedures as a table of their differences. One row per
// procedure; the shared steps in CutterJobs read the row. How a mode prepares
// its sheet (header digit, header sent, QR digit, inner-first ordering) is
// plot/sheet.h's sheetModeRow(mode, link); the rows here add what the
// procedure does with the cutter.

enum class JobLink { Usb, Network };
enum class QrSelection { None, OneSheet, EverySheet };

struct SingleSheetRow
{
    const char *name;    // the procedure's name, for logs
    int mode;            // work mode 0..5
    JobLink link;
    bool readsJobReply;  // one reply is read after the job text
    QrSelection qr;      // the plot file is named by the QR code on the sheet
    bool matrix;         // sheet after sheet on 1, 2 or 4 places, trigger between
};

// The twelve single-sheet procedures, in mode order, USB before network.
extern const SingleSheetRow kSingleSheetRows[12];

using JobProcedure = void (CutterJobs::*)();

struct DispatchEntry
{
    int mode;                // workIndex
    JobProcedure usb;        // devType "USB" (auto-feed modes: always)
    JobProcedure network;    // devType "RJ45"; auto-feed modes: the same as usb
    bool trigger;            // the operator trigger listens while it runs
};

// The procedure for a work mode and link type; nullptr when nothing runs (a
// mode outside the table, or a link type other than "USB"/"RJ45" for modes
// 0-5). Auto-feed modes ignore the link type.
const DispatchEntry *dispatchEntry(int workIndex);
JobProcedure procedureFor(int workIndex, const QString &devType);
