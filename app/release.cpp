#include "release.h"

#include <QDate>
#include <QLocale>

QString releaseDateStamp(const QString &buildDate)
{
    QString text = buildDate;
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    const QDate date = QLocale(QLocale::English).toDate(text, QStringLiteral("MMM dd yyyy"));
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString releaseDateLink(const QString &stamp)
{
    return QStringLiteral("<a href=\"%1\">Release Date:%2</a>")
        .arg(QLatin1String(makerWebSite), stamp);
}
