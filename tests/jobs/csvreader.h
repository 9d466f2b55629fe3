#pragma once
// A CSV reader for the run log's tests.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

using Rows = QList<QStringList>;

// RFC 4180 as common readers (Python's csv) take it: a quote opens a quoted
// field only at its start; CR, LF or CR LF end a line; the last may lack one.
inline Rows readCsv(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    Rows rows;
    QStringList row;
    QString field;
    bool quoted = false, fieldStart = true;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool lineEnd = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (quoted && c == QLatin1Char('"') && text.mid(i + 1, 1) == QLatin1String("\""))
            field += text.at(++i);
        else if (c == QLatin1Char('"') && (quoted || fieldStart))
            quoted = !quoted;
        else if (quoted)
            field += c;
        else if (c == QLatin1Char(',') || lineEnd) {
            row << field;
            field.clear();
            if (lineEnd) {
                i += c == QLatin1Char('\r') && text.mid(i + 1, 1) == QLatin1String("\n");
                rows << row;
                row.clear();
            }
            fieldStart = true;
            continue;
        } else
            field += c;
        fieldStart = false;
    }
    if (!fieldStart || !row.isEmpty())
        rows << (row << field);
    return rows;
}

