#include "jobtable.h"

#include "cutterjobs.h"

const SingleSheetRow kSingleSheetRows[12] = {
    // name              mode link             reply  QR selection            matrix
    {"blankCutUsb",      0, JobLink::Usb,     false, QrSelection::None,       false},
    {"blankCutNet",      0, JobLink::Network, false, QrSelection::None,       false},
    {"matrixBlankUsb",   1, JobLink::Usb,     false, QrSelection::None,       true},
    {"matrixBlankNet",   1, JobLink::Network, false, QrSelection::None,       true},
    {"scanMarkUsb",      2, JobLink::Usb,     true,  QrSelection::None,       false},
    {"scanMarkNet",      2, JobLink::Network, true,  QrSelection::None,       false},
    {"matrixScanUsb",    3, JobLink::Usb,     true,  QrSelection::None,       true},
    {"matrixScanNet",    3, JobLink::Network, true,  QrSelection::None,       true},
    {"qrScanMarkUsb",    4, JobLink::Usb,     true,  QrSelection::OneSheet,   false},
    {"qrScanMarkNet",    4, JobLink::Network, true,  QrSelection::OneSheet,   false},
    {"qrMatrixScanUsb",  5, JobLink::Usb,     true,  QrSelection::EverySheet, true},
    {"qrMatrixScanNet",  5, JobLink::Network, true,  QrSelection::EverySheet, true},
};

namespace {

// The auto-feed modes use the USB link whatever the link type says.
const DispatchEntry kDispatch[] = {
    {0, &CutterJobs::blankCutUsb, &CutterJobs::blankCutNet, false},
    {1, &CutterJobs::matrixBlankUsb, &CutterJobs::matrixBlankNet, true},
    {2, &CutterJobs::scanMarkUsb, &CutterJobs::scanMarkNet, false},
    {3, &CutterJobs::matrixScanUsb, &CutterJobs::matrixScanNet, true},
    {4, &CutterJobs::qrScanMarkUsb, &CutterJobs::qrScanMarkNet, false},
    {5, &CutterJobs::qrMatrixScanUsb, &CutterJobs::qrMatrixScanNet, true},
    {6, &CutterJobs::afBlankSingleFeed, &CutterJobs::afBlankSingleFeed, false},
    {7, &CutterJobs::afBlankFeedWhileCut, &CutterJobs::afBlankFeedWhileCut, false},
    {8, &CutterJobs::afFileSingleFeed, &CutterJobs::afFileSingleFeed, false},
    {9, &CutterJobs::afFileFeedWhileCut, &CutterJobs::afFileFeedWhileCut, false},
    {10, &CutterJobs::afQrSingleFeed, &CutterJobs::afQrSingleFeed, false},
    {11, &CutterJobs::afQrFeedWhileCut, &CutterJobs::afQrFeedWhileCut, false},
};

} // namespace

const DispatchEntry *dispatchEntry(int workIndex)
{
    for (const DispatchEntry &entry : kDispatch) {
        if (entry.mode == workIndex)
            return &entry;
    }
    return nullptr;
}

JobProcedure procedureFor(int workIndex, const QString &devType)
{
    const DispatchEntry *entry = dispatchEntry(workIndex);
    if (!entry)
        return nullptr;
    if (entry->usb == entry->network) // auto-feed: always the USB link
        return entry->usb;
    if (devType == QLatin1String("USB"))
        return entry->usb;
    if (devType == QLatin1String("RJ45"))
        return entry->network;
    return nullptr;
}
