#include "referencedecode.h"

#include "imageprep.h"
#include "qrscan.h"

#include <zbar.h>

#include <vector>

namespace reference {

using namespace zbar;

namespace {

void copySymbols(const zbar_image_t *image, char *text)
{
    const zbar_symbol_set_t *set = zbar_image_get_symbols(image);
    zbar_symbol_set_ref(set, 1);
    for (const zbar_symbol_t *sym = zbar_symbol_set_first_symbol(set); sym;
         sym = zbar_symbol_next(sym)) {
        zbar_symbol_ref(sym, 1);
        glyphscan::copySymbolText(zbar_symbol_get_data(sym), zbar_symbol_get_data_length(sym),
                                  text);
        zbar_symbol_ref(sym, -1);
    }
    zbar_symbol_set_ref(set, -1);
}

} // namespace

int decodeHalfImage(const uint8_t *half, char *text)
{
    std::vector<uint8_t> clip(glyphscan::kHalfPixels);
    for (int t = 20; t <= 180; t += 20) {
        for (size_t i = 0; i < clip.size(); ++i)
            clip[i] = half[i] > t ? 255 : half[i];
        zbar_image_scanner_t *scanner = zbar_image_scanner_create();
        zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 1);
        zbar_image_t *image = zbar_image_create();
        zbar_image_set_size(image, glyphscan::kHalfWidth, glyphscan::kHalfHeight);
        zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
        zbar_image_set_data(image, clip.data(), clip.size(), nullptr);
        const bool found = zbar_scan_image(scanner, image) > 0;
        if (found)
            copySymbols(image, text);
        zbar_image_set_data(image, nullptr, 0, nullptr);
        zbar_image_ref(image, -1);
        zbar_image_scanner_destroy(scanner);
        if (found)
            return t;
    }
    return 0;
}

} // namespace reference
