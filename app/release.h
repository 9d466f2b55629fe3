#pragma once
#include <QString>

// The maker's web site, opened from the release-date label.
inline constexpr char makerWebSite[] = "https://www.torvane.example";

// Date stamp "yyyyMMdd" from a compiler build date "MMM dd yyyy" (English
// month, days below 10 written with a space for the leading zero, as
// __DATE__ gives it: "Apr  3 2021" -> "20210403"). Empty if it is no date.
QString releaseDateStamp(const QString &buildDate);

// Rich text of the release-date label: a link to the maker's web site that
// reads "Release Date:" followed by the stamp.
QString releaseDateLink(const QString &stamp);
