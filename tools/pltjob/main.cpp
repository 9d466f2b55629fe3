// pltjob [--mode N] [--rotate] [--knife MM] [--close MM] [--crease-passes N]
//        [--cut-passes N] [--png FILE] [--svg FILE] FILE.plt
//
// Prints the job text that work mode N sends over USB for one sheet of
// FILE.plt, followed by one line feed. Exit status: 0 done; 1 the file cannot
// be read, does not begin with an MD instruction, has no crease or cut line,
// is to be rotated without a size in its MD instruction, its job text would
// be too large, or a picture cannot be written (nothing on standard output
// then); 2 bad arguments.
#include "render.h"
#include "sheet.h"
#include "version.h"
#include "workmodes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kUnitsPerMm = 40;

int fail(int status, const QString &message)
{
    QTextStream(stderr) << "pltjob: " << message << '\n';
    return status;
}

// A number within [low, high]; the ranges are those of the form's spin boxes
// (offsets) and a generous bound for the pass counts.
bool readNumber(const QString &text, double low, double high, double *value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool readCount(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

struct Request
{
    SheetOptions options;
    QString file;
    QString png;
    QString svg;
};

// Fills the request from the arguments, or returns the error message.
QString readArguments(const QCoreApplication &app, Request &request)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the job text one sheet of a plot file becomes in a work mode (USB)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption mode("mode", "Work mode 0 to 11 (default 0).", "N", "0");
    const QCommandLineOption rotate("rotate", "Rotate the design by a quarter turn.");
    const QCommandLineOption knife("knife", "Knife offset, 0 to 1.5 mm.", "MM");
    const QCommandLineOption close("close", "Close offset, 0 to 5 mm.", "MM");
    const QCommandLineOption creases("crease-passes", "Crease passes, 0 to 100.", "N");
    const QCommandLineOption cuts("cut-passes", "Cut passes, 0 to 100.", "N");
    const QCommandLineOption png("png", "Also draw the paths into a PNG file.", "FILE");
    const QCommandLineOption svg("svg", "Also draw the paths into an SVG file.", "FILE");
    parser.addOptions({mode, rotate, knife, close, creases, cuts, png, svg});
    parser.addPositionalArgument("FILE.plt", "The plot file.");
    if (!parser.parse(app.arguments()))
        return parser.errorText();
    if (parser.isSet("help")) {
        QTextStream(stdout) << parser.helpText();
        std::exit(0);
    }
    if (parser.isSet("version"))
        parser.showVersion(); // exits
    if (parser.positionalArguments().size() != 1)
        return QStringLiteral("exactly one plot file expected");
    request.file = parser.positionalArguments().first();

    int workMode = 0;
    if (!readCount(parser.value(mode), 0, 11, &workMode))
        return QStringLiteral("--mode takes a work mode from 0 to 11");
    SheetOptions &o = request.options;
    o = sheetOptionsFor(workMode, SheetLink::Usb);
    o.rotate = parser.isSet(rotate);
    double mm = 0;
    if (parser.isSet(knife)) {
        if (!readNumber(parser.value(knife), 0, 1.5, &mm))
            return QStringLiteral("--knife takes millimetres from 0 to 1.5");
        o.knifeOffset = mm * kUnitsPerMm;
    }
    if (parser.isSet(close)) {
        if (!readNumber(parser.value(close), 0, 5, &mm))
            return QStringLiteral("--close takes millimetres from 0 to 5");
        o.closeOffset = mm * kUnitsPerMm;
    }
    if (parser.isSet(creases) && !readCount(parser.value(creases), 0, 100, &o.creasePasses))
        return QStringLiteral("--crease-passes takes a count from 0 to 100");
    if (parser.isSet(cuts) && !readCount(parser.value(cuts), 0, 100, &o.cutPasses))
        return QStringLiteral("--cut-passes takes a count from 0 to 100");
    request.png = parser.value(png);
    request.svg = parser.value(svg);
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pltjob"));
    QCoreApplication::setApplicationVersion(QLatin1String(cutterdeskVersion()));

    Request request;
    const QString error = readArguments(app, request);
    if (!error.isEmpty())
        return fail(2, error + QStringLiteral(" (see pltjob --help)"));

    const QString text = PltSolve().readPlotFile(request.file);
    if (text.isEmpty())
        return fail(1, QStringLiteral("cannot read %1").arg(request.file));
    const PreparedSheet sheet = prepareSheet(text, request.options);
    if (sheet.tooLarge)
        return fail(1, QStringLiteral("the job text of %1 is too large").arg(request.file));
    if (sheet.noLines)
        return fail(1, QStringLiteral("%1 has no crease or cut lines").arg(request.file));
    if (sheet.noSize)
        return fail(1, QStringLiteral("%1 gives no sheet size in its MD instruction, so it cannot be rotated")
                           .arg(request.file));
    if (!sheet.ok)
        return fail(1, QStringLiteral("%1 does not begin with an MD instruction").arg(request.file));

    // What the preview shows: the crease paths, then the compensated cut paths.
    const PlotPathList drawn = sheet.crease + sheet.cut;
    if (!request.png.isEmpty() && !renderPng(drawn, request.png))
        return fail(1, QStringLiteral("cannot write %1").arg(request.png));
    if (!request.svg.isEmpty() && !renderSvg(drawn, request.svg))
        return fail(1, QStringLiteral("cannot write %1").arg(request.svg));

    const QByteArray out = sheet.jobText.toLatin1() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
