#pragma once
#include "simcutter.h"

#include <QImage>
#include <QString>

// Draws one sheet: white paper covering the MD size and every line, creased
// lines (pen 1) black, cut lines (pen 2) blue, others grey. Scale 4 pixels per
// millimetre, first axis to the right, second axis up as on the cutter (and in
// the preview); at most 4000 pixels a side.
QImage renderSheet(const SimSheet &sheet);
// Writes renderSheet(sheet) as PNG; false when the file cannot be written.
bool saveSheetPng(const SimSheet &sheet, const QString &file);
