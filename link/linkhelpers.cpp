#include "linkhelpers.h"

#include <QRegularExpression>

#include <unistd.h>

QByteArray logLabel(const char *label, int ansiColour, bool terminal)
{
    if (!terminal)
        return QByteArray(label);
    return "\x1b[" + QByteArray::number(ansiColour) + 'm' + label + "\x1b[0m";
}

QByteArray logLabel(const char *label, int ansiColour)
{
    // Qt's default message handler writes to standard error.
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    return logLabel(label, ansiColour, terminal);
}

bool isValidIp(const QString &text)
{
    // Anchored with \A...\z: a plain "$" would also accept a trailing newline.
    static const QRegularExpression re(QRegularExpression::anchoredPattern(QStringLiteral(
        "(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9]?[0-9])\\.){3}"
        "(?:25[0-5]|2[0-4][0-9]|[01]?[0-9]?[0-9])")));
    return re.match(text).hasMatch();
}
