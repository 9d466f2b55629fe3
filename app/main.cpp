#include "commandline.h"
#include "mainwidget.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

// --help and --version, answered without a display. Returns when the
// arguments hold more than this parser knows (Qt's own, such as -platform):
// the full application then answers them.
static void answerTextOnly(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (parser.parse(QCoreApplication::arguments()))
        parser.process(app); // prints the text and exits
}

// Help, version and unknown options, each of which ends the program.
static void answerOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);
}

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("cutterdesk"));
    QCoreApplication::setApplicationVersion(QLatin1String(cutterdeskVersion()));
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (asksForTextOnly(rawArguments))
        answerTextOnly(argc, argv);

    QApplication app(argc, argv);
    answerOptions(app);
    const CommandLine line = readCommandLine(QCoreApplication::arguments(), QDir::currentPath());
    if (!line.error.isEmpty()) {
        QTextStream(stderr) << "cutterdesk: " << line.error << " (see cutterdesk --help)\n";
        return 2;
    }
    MainWidget::setLanguageOverride(line.language);
    MainWidget window;
    if (!line.plotFile.isEmpty())
        window.openPlotFile(line.plotFile);
    window.show();
    return app.exec();
}
