// The two exports. Everything else in the library has hidden visibility.
#include "glyphscan.h"

#include "marksearch.h"
#include "qrscan.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

using namespace glyphscan;

// Working memory of one mr_interface call, allocated in one piece.
struct MarkContext {
    uint8_t half[kHalfPixels];
    MarkSearch search;
    MarkWorkspace workspace;
};

// 1.9999938 in single precision (bit pattern 0x3FFFFFCC): the half to full
// resolution factor the cutter's camera calibration was made with.
float halfToFull()
{
    const uint32_t bits = 0x3FFFFFCCu;
    float k;
    std::memcpy(&k, &bits, sizeof k);
    return k;
}

void writeResult(ScanRequest *req, const MarkResult &r)
{
    const float k = halfToFull();
    req->outWidth = static_cast<float>(static_cast<double>(r.width * k) + 1.5);
    req->outHeight = static_cast<float>(static_cast<double>(r.height * k) + 1.5);
    req->outRadius = r.radius * k + 3.0f;
    req->outX = static_cast<int32_t>(static_cast<float>(r.x) * k + 1.0f);
    req->outY = static_cast<int32_t>(static_cast<float>(r.y) * k + 1.0f);
}

// The context could not be created: the search is skipped.
void reportNoContext()
{
    std::printf("create error!!!!\n");
    std::printf("config error\n");
    std::printf("process error\n");
    std::printf("release error\n");
}

} // namespace

extern "C" int32_t mr_interface(ScanRequest *req)
{
    if (!req) {
        std::printf("null request\n");
        return 0;
    }
    std::unique_ptr<MarkContext> ctx(new (std::nothrow) MarkContext);
    if (!ctx) {
        reportNoContext();
        writeResult(req, MarkResult{});
        return 0;
    }
    MarkSearch &search = ctx->search;
    search.result = {};
    if (prepareHalfImage(req, ctx->half) == Prep::Ready) {
        searchMark(ctx->half, req->markShape, req->markSize, search, ctx->workspace);
        for (int i = 0; i < search.illegalShapeRegions; ++i)
            std::printf("illegal mark type\n");
    }
    writeResult(req, search.result);
    return 0;
}

extern "C" void qr_decode(ScanRequest *req)
{
    decodeRequest(req);
}
