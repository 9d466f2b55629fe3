#include "commandline.h"
#include "mainwidget.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

// --help and --version, answered without a display; returns only when the
// arguments turn out to ask for neither.
static void answerTextOnly(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app); // prints the text and exits, or an error and exits
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
    const CommandLine line = readCommandLine(QCoreApplication::arguments(), QDir::currentPath());
    if (!line.error.isEmpty()) {
        QTextStream(stderr) << "cutterdesk: " << line.error << " (see cutterdesk --help)\n";
        return 2;
    }
    MainWidget window;
    if (!line.plotFile.isEmpty())
        window.openPlotFile(line.plotFile);
    window.show();
    return app.exec();
}
