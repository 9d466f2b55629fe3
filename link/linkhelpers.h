#pragma once
#include <QString>

// Pause for at least ms milliseconds while the GUI stays live: every event
// that arrives in the meantime is handled. ms <= 0 returns at once.
void delayMs(int ms);

// True when the whole text is a dotted-quad IPv4 address: four numbers
// 0..255 separated by dots, leading zeros allowed up to three digits.
bool isValidIp(const QString &text);
