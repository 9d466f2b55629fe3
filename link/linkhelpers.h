#pragma once
#include <QByteArray>
#include <QString>

// A log label ("Send:", "Recv:") in an ANSI colour (31 red, 34 blue) when the
// log goes to a terminal, followed by a reset to the terminal's own colour,
// so it reads on dark and light backgrounds alike; plain otherwise (a file,
// a pipe, the journal).
QByteArray logLabel(const char *label, int ansiColour);
QByteArray logLabel(const char *label, int ansiColour, bool terminal);

// True when the whole text is a dotted-quad IPv4 address: four numbers
// 0..255 separated by dots, leading zeros allowed up to three digits.
bool isValidIp(const QString &text);
