// The first four bytes choose the route options, the rest is the plot text.
#include "sheet.h"
#include "workmodes.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void checkFinite(const PlotPathList &paths)
{
    for (const PlotPath &path : paths)
        for (const QLineF &s : path.segments)
            if (!std::isfinite(s.x1()) || !std::isfinite(s.y1()) || !std::isfinite(s.x2())
                || !std::isfinite(s.y2()))
                abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    SheetOptions options = sheetOptionsFor(data[0] % 12, (data[0] & 0x80) ? SheetLink::Network
                                                                           : SheetLink::Usb);
    options.rotate = data[1] & 1;
    options.creasePasses = (data[1] >> 1) % 3;
    options.cutPasses = (data[1] >> 3) % 3;
    options.knifeOffset = data[2] % 61;   // up to 1.5 mm, as the form allows
    options.closeOffset = data[3] % 201;  // up to 5 mm
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data + 4), int(size - 4));

    const PreparedSheet sheet = prepareSheet(text, options);
    if (!sheet.ok)
        return 0;
    checkFinite(sheet.crease);
    checkFinite(sheet.cut);
    if (!sheet.jobText.endsWith(QLatin1String("!PG;")))
        abort();

    // The auto-feed QR modes preview the paths of the job text itself.
    const PltSolve solve;
    const PlotPathList again = solve.parsePaths(sheet.jobText);
    const PlotPathList ordered = solve.orderInnerFirst(again);
    if (ordered.size() != again.size())
        abort();
    checkFinite(again);
    return 0;
}
