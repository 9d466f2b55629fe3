#include "workmodes.h"

#include <QtGlobal>

namespace {
constexpr AutoFeedRow kNoFeed = {};
} // namespace

// clang-format off
const std::array<WorkMode, 12> kWorkModes = {{
    // title, tip,
    //   matrix feed eject smart | digit header QR-digit inner-first USB, network |
    //   procedure, reads job reply, QR selection, auto-feed row
    {QT_TRANSLATE_NOOP("MainWidget", "01. Single File, Blank Cut."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on a blank paper."),
     false, false, false, false, 3, false, false, true, false,
     Procedure::OneSheet, false, QrSelection::None, kNoFeed},
    {QT_TRANSLATE_NOOP("MainWidget", "02. Single File, Matrix Blank."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on one two or four blank paper arrange into a matrix."),
     true, false, false, false, 3, false, false, false, true,
     Procedure::Matrix, false, QrSelection::None, kNoFeed},
    {QT_TRANSLATE_NOOP("MainWidget", "03. Single File, Scan Mark."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on a printed paper with mark."),
     false, false, false, false, 4, true, false, true, true,
     Procedure::OneSheet, true, QrSelection::None, kNoFeed},
    {QT_TRANSLATE_NOOP("MainWidget", "04. Single File, Matrix Scan."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on one two or four printed paper arrange into a matrix."),
     true, false, false, false, 4, true, false, false, true,
     Procedure::Matrix, true, QrSelection::None, kNoFeed},
    {QT_TRANSLATE_NOOP("MainWidget", "05. QR Filter, Scan Mark."),
     QT_TRANSLATE_NOOP("MainWidget", "Use QR Code to filter which file to send, you need to move the carriage back after cut."),
     false, false, false, false, 5, true, true, true, true,
     Procedure::OneSheet, true, QrSelection::OneSheet, kNoFeed},
    {QT_TRANSLATE_NOOP("MainWidget", "06. QR Filter, Matrix Scan."),
     QT_TRANSLATE_NOOP("MainWidget", "Use QR Code to filter which file to send, cut on one two or four printed paper arrange into a matrix."),
     true, false, false, false, 5, true, true, true, true,
     Procedure::Matrix, true, QrSelection::EverySheet, kNoFeed},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Blank Cut, Single Feed."), "",
     false, true, true, false, 3, false, false, true, true, Procedure::AutoFeed, false, QrSelection::None,
     {Feeding::Single, Content::Blank, LastMove::EjectDist, false, false, -1, false}},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Blank Cut, Feed While Cutting."), "",
     false, true, false, false, 3, false, false, true, true, Procedure::AutoFeed, false, QrSelection::None,
     {Feeding::WhileCutting, Content::Blank, LastMove::FeedDist, false, false, -1, false}},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Single File, Single Feed."), "",
     false, true, true, true, 4, true, false, true, true, Procedure::AutoFeed, false, QrSelection::None,
     {Feeding::Single, Content::Mark, LastMove::EjectDist, false, false, -1, true}},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Single File, Feed While Cutting."), "",
     false, true, false, true, 4, true, false, true, true, Procedure::AutoFeed, false, QrSelection::None,
     {Feeding::WhileCutting, Content::Mark, LastMove::FeedDist, false, true, -1, true}},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. QR Filter, Single Feed."), "",
     false, true, true, true, 5, true, true, true, true, Procedure::AutoFeed, false, QrSelection::None,
     {Feeding::Single, Content::Qr, LastMove::FeedDist, false, false, -1, false}},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. QR Filter, Feed While Cutting."), "",
     false, true, false, true, 5, true, true, true, true, Procedure::AutoFeed, false, QrSelection::None,
     {Feeding::WhileCutting, Content::Qr, LastMove::FeedDist, true, true, 1000, false}},
}};
// clang-format on

const WorkMode *workMode(int mode)
{
    return mode >= 0 && mode < int(kWorkModes.size()) ? &kWorkModes[size_t(mode)] : nullptr;
}

std::optional<JobLink> jobLinkFor(const WorkMode &mode, const QString &devType)
{
    if (mode.procedure == Procedure::AutoFeed || devType == QLatin1String("USB"))
        return JobLink::Usb;
    if (devType == QLatin1String("RJ45"))
        return JobLink::Network;
    return std::nullopt;
}

SheetOptions sheetOptionsFor(int mode, SheetLink link)
{
    return sheetOptionsFor(workMode(mode) ? *workMode(mode) : kWorkModes[0], link);
}

SheetOptions sheetOptionsFor(const WorkMode &row, SheetLink link)
{
    SheetOptions options;
    options.headerDigit = row.headerDigit;
    options.sendHeader = row.sendHeader;
    options.forceQrDigit = row.forceQrDigit;
    options.orderInnerFirst = link == SheetLink::Usb ? row.innerFirstUsb : row.innerFirstNetwork;
    return options;
}
