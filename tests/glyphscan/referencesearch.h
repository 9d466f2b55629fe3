// A deliberately plain mark search written straight from the algorithm's
// description (integral image, pixel-by-pixel morphology, queue flood fill).
// The library's tuned search must give the same region table and result.
#pragma once

#include "marksearch.h"

#include <vector>

namespace reference {

std::vector<int> threshold(const uint8_t *half); // 255 or 0 per pixel

void searchMark(const uint8_t *half, int32_t markShape, float markSize, glyphscan::MarkSearch &out);

} // namespace reference
