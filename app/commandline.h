#pragma once
#include <QString>
#include <QStringList>

class QCommandLineParser;

// What cutterdesk's command line asks for: `cutterdesk [--lang zh|en] [FILE]`,
// plus --help and --version.
struct CommandLine
{
    QString plotFile; // absolute and clean; empty when none is named
    QString language; // "zh" or "en" from --lang; empty: config.ini or the system decides
    QString error;    // why the command line cannot be used; empty when it can
};

// True when the arguments ask only for text (--help, --version and their
// short forms, before any "--"): that needs no display, so the program
// answers it before it connects to one.
bool asksForTextOnly(const QStringList &arguments);

// The options and the file argument, as --help lists them.
void describeCommandLine(QCommandLineParser &parser);

// Reads the arguments as QApplication leaves them (Qt's own options taken
// out); a relative FILE is taken from workDir. Whether the file can be read
// is the window's business, not the command line's.
CommandLine readCommandLine(const QStringList &arguments, const QString &workDir);
