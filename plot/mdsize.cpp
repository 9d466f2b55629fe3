#include "mdsize.h"

QSize parseMdSize(const QString &text)
{
    // A small scanner rather than a regular expression: the cutter's files put
    // anything between the fields, and only the first MD instruction counts.
    QString fields[5];
    int state = 0;
    for (const QChar ch : text) {
        if (state == 0) {
            if (ch == QLatin1Char('M'))
                state = 1;
        } else if (state == 1) {
            state = (ch == QLatin1Char('D')) ? 2 : 0;
        } else if (state <= 4) {
            if (ch == QLatin1Char(','))
                ++state;
            else
                fields[state - 2].append(ch);
        } else if (state == 5) {
            if (ch == QLatin1Char(';'))
                break;
            if (ch == QLatin1Char(','))
                state = 6;
            else
                fields[3].append(ch);
        } else {
            if (ch == QLatin1Char(';'))
                break;
            fields[4].append(ch);
        }
    }
    return QSize(fields[3].toInt(), fields[2].toInt());
}
