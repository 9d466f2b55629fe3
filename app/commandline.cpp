#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

bool asksForTextOnly(const QStringList &arguments)
{
    static const QStringList textOptions = {
        QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-?"),
        QStringLiteral("--help-all"), QStringLiteral("-v"), QStringLiteral("--version")};
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--"))
            return false;
        if (textOptions.contains(arg))
            return true;
    }
    return false;
}

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Previews plot files and cuts or creases them on a flatbed cutting plotter."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("lang"),
                      QStringLiteral("Language of the window: zh (Chinese) or en (English), for this "
                                     "run only. Without it config.ini's UI/language decides, else the "
                                     "system's language."),
                      QStringLiteral("zh|en")});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Plot file to open (*.plt, *.hpgl, *.hpg)."),
                                 QStringLiteral("[FILE]"));
}

CommandLine readCommandLine(const QStringList &arguments, const QString &workDir)
{
    CommandLine line;
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (!parser.parse(arguments)) {
        line.error = parser.errorText();
        return line;
    }
    line.language = parser.value(QStringLiteral("lang"));
    if (parser.isSet(QStringLiteral("lang")) && line.language != QLatin1String("zh")
        && line.language != QLatin1String("en")) {
        line.error = QStringLiteral("--lang takes zh or en, not '%1'").arg(line.language);
        return line;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        line.error = QStringLiteral("one plot file at most, not %1").arg(files.size());
        return line;
    }
    if (!files.isEmpty() && !files.first().isEmpty())
        line.plotFile = QDir::cleanPath(QDir(workDir).absoluteFilePath(files.first()));
    return line;
}
