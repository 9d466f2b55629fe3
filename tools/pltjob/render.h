#pragma once
#include "pltsolve.h"

#include <QString>

// Draws paths as the lines preview does (pen 2 blue, pen 3 red, any other
// black; dashed when lineType is not 0; y up), scaled to fit a picture whose
// longer side is about 1600 pixels, on white. Returns false when the file
// cannot be written.
bool renderPng(const PlotPathList &paths, const QString &fileName);
bool renderSvg(const PlotPathList &paths, const QString &fileName);
