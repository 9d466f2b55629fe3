#pragma once
#include <QString>

// Texts of the cutter's command protocol. Every command and every reply ends
// with ";"; nothing else (no line end, no length) is added. Replies are
// recognised only by exact, case-sensitive comparison of the whole text.
namespace CutterProtocol {

inline const QString kStatusPoll = QStringLiteral("CMD:10;");
inline const QString kPositionQuery = QStringLiteral("CMD:203;");
inline const QString kMarkSearch = QStringLiteral("CMD:106;");
inline const QString kQrRead = QStringLiteral("CMD:101;");
inline const QString kPaperCheck = QStringLiteral("CMD:108;");
inline const QString kFeedSheet = QStringLiteral("CMD:109,0,0,0,0;");
inline const QString kAtJobStart = QStringLiteral("CMD:202;");
inline const QString kEndOfPage = QStringLiteral("!PG;");
// Auto-feed sheet handling, whose meaning is the cutter's own: the program
// keeps their order and waits for "OK;" after each.
inline const QString kBeginSheet = QStringLiteral("CMD:5;");  // before the carriage goes to the sheet
inline const QString kEndSheet = QStringLiteral("CMD:6;");    // after the cut
inline const QString kAfterSheet = QStringLiteral("CMD:111;"); // after "CMD:6;"
inline const QString kPreFeed = QStringLiteral("CMD:110;");    // the next sheet comes up while this one is cut

inline const QString kOk = QStringLiteral("OK;");
inline const QString kFree = QStringLiteral("FREE;");
inline const QString kPaperOk = QStringLiteral("PAPEROK;");
inline const QString kNoPaper = QStringLiteral("NOPAPER;");
inline const QString kFeedOk = QStringLiteral("FEEDOK;");
inline const QString kMoveOk = QStringLiteral("MOVEOK;");
inline const QString kMdOk = QStringLiteral("MD_OK;");
inline const QString kNoMark = QStringLiteral("NOMARK;");
inline const QString kNoQr = QStringLiteral("NOQR;");

// "CMD:105,<mm>;": move the sheet by whole millimetres.
QString moveSheetCmd(int mm);
// "CMD:107,<ssid>,<passphrase>;", both exactly as typed (nothing escaped).
QString cameraSetupCmd(const QString &ssid, const QString &passphrase);
// "CMD:201,<a>,<b>;" with each number in general format, 6 significant digits.
QString calibrationResultCmd(double a, double b);
// "PU<x>,<y>;" and "SP2;PU<x>,<y>;", plotter units.
QString penUpMove(int x, int y);
QString knifeMove(int x, int y);
// "SP2;PU<x>,<y>;" with coordinates already written out (matrix places carry doubles).
QString knifeMove(const QString &x, const QString &y);

struct Position
{
    int x = 0;
    int y = 0;
};
// Position reply "x,y;": x is the text before the first ",", y the text after
// it with every ";" removed; each read as a base-10 integer (0 when not one).
Position parsePosition(const QString &reply);

struct MarkReading
{
    double values[3] = {0, 0, 0};
    int count = 0; // how many of the three numbers the reply carried
};
// Mark reply "X=12.5,Y=-3.25,D=0.8;" (the labels X, Y, D and "=" optional):
// three numbers separated by "," and closed by ";". A reply with fewer
// separators leaves the missing numbers unread (count tells how many).
MarkReading parseMark(const QString &reply);

} // namespace CutterProtocol
