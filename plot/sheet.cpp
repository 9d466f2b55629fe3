#include "sheet.h"

#include "mdsize.h"


namespace {

void appendRepeated(QString &text, const QString &block, int times)
{
    for (int i = 0; i < times; ++i)
        text += block;
}

// Sets the QR digit of the MD instruction the text begins with to 4: the
// last character of its fifth field, or a fifth field "4" when it has four
// (the cutter reads "MD a,b,c,d[,e];"). One with fewer fields has no size
// for a digit to follow and is left as it is.
void forceQrDigit(QString &text)
{
    const int end = text.indexOf(QLatin1Char(';'));
    int commas = 0;
    int fifthEnd = end;
    for (int i = 0; i < end; ++i) {
        if (text.at(i) == QLatin1Char(',') && ++commas == 5) {
            fifthEnd = i;
            break;
        }
    }
    if (commas == 3)
        text.insert(end, QLatin1String(",4"));
    else if (commas >= 4 && text.at(fifthEnd - 1) == QLatin1Char(','))
        text.insert(fifthEnd, QLatin1Char('4')); // an empty fifth field
    else if (commas >= 4)
        text[fifthEnd - 1] = QLatin1Char('4');
}

} // namespace

QString leadingMdRun(const QString &text)
{
    int end = 0;
    while (text.midRef(end, 2) == QLatin1String("MD")) {
        int j = end + 2;
        while (j < text.size() && text.at(j) != QLatin1Char(';') && text.at(j) != QLatin1Char('\n'))
            ++j;
        if (j >= text.size() || text.at(j) != QLatin1Char(';'))
            break;
        end = j + 1;
    }
    return text.left(end);
}

PreparedSheet prepareSheet(const QString &plotText, const SheetOptions &options)
{
    PreparedSheet sheet;
    if (plotText.isEmpty())
        return sheet;
    QString header = leadingMdRun(plotText);
    if (header.isEmpty())
        return sheet;
    // Rotation turns the design about the MD height and rebuilds the header
    // from the size: without one the design lands off the sheet.
    const QSize size = parseMdSize(header);
    if (options.rotate && (size.width() <= 0 || size.height() <= 0)) {
        sheet.noSize = true;
        return sheet;
    }

    const PltSolve solve;
    auto [crease, cut] = solve.toolPaths(plotText);
    // A text of nothing but the opening and closing instructions would go to
    // the cutter and come back as a finished sheet.
    if (crease.isEmpty() && cut.isEmpty()) {
        sheet.noLines = true;
        return sheet;
    }
    if (options.orderInnerFirst) {
        crease = solve.orderInnerFirst(crease);
        cut = solve.orderInnerFirst(cut);
    }
    if (options.rotate) {
        const double c = size.height();
        crease = solve.flipY(solve.transposeXY(crease), c);
        cut = solve.flipY(solve.transposeXY(cut), c);
        header = QStringLiteral("MD0,0,%1,%2,%3;")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(options.headerDigit);
    }

    // Every cut pass compensates the same paths the same way, so once is enough.
    // Compensation and the blocks give nothing past what a job can carry,
    // rather than fail to allocate it.
    bool tooLarge = false;
    const PlotPathList compensated =
        solve.compensateKnife(cut, options.knifeOffset, options.closeOffset, &tooLarge);
    const QString creaseBlock = tooLarge ? QString() : solve.serializeCrease(crease);
    const QString cutBlock = tooLarge ? QString() : solve.serializeCutPass(compensated);
    tooLarge = tooLarge || creaseBlock.isEmpty() || cutBlock.isEmpty();

    const qint64 length = qint64(header.size()) + qint64(creaseBlock.size()) * qMax(0, options.creasePasses)
        + qint64(cutBlock.size()) * qMax(0, options.cutPasses) + 4;
    if (tooLarge || length > kMaxJobText) {
        sheet.tooLarge = true;
        return sheet;
    }
    QString text;
    text.reserve(int(length));
    if (options.sendHeader) {
        text += header;
        if (options.forceQrDigit)
            forceQrDigit(text);
    }
    appendRepeated(text, creaseBlock, options.creasePasses);
    appendRepeated(text, cutBlock, options.cutPasses);
    text += QStringLiteral("!PG;");

    sheet.ok = true;
    sheet.header = header;
    sheet.jobText = text;
    sheet.crease = crease;
    sheet.cut = compensated;
    return sheet;
}

PreparedSheet prepareSheetFile(const QString &path, const SheetOptions &options)
{
    return prepareSheet(PltSolve().readPlotFile(path), options);
}
