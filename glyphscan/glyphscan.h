/*
 * glyphscan: registration-mark search and QR decoding in a 640 x 480 camera
 * frame. A plain C interface of two exports, called with one ScanRequest.
 *
 * ScanRequest layout: fourteen fields in this order. The two pointer fields
 * (data, text) take the platform's natural size and alignment, so on 64-bit
 * Linux the record is 64 bytes with the int/float fields at 8..55 and text at
 * 56; on a 32-bit target every field is 4 bytes and the record is 56 bytes.
 *
 * The caller owns the record and every buffer it points to. Each call keeps
 * its working buffers to itself and frees them before it returns; nothing
 * survives between calls, so calls are safe from any thread (one record per
 * call). Diagnostics go to standard output with printf.
 */
#ifndef GLYPHSCAN_H
#define GLYPHSCAN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(GLYPHSCAN_BUILDING)
#define GLYPHSCAN_EXPORT __attribute__((visibility("default")))
#else
#define GLYPHSCAN_EXPORT
#endif

typedef struct ScanRequest {
    /* in: pixels row by row, top row first, no gaps between rows */
    const unsigned char *data;
    /* in: must be 640 x 480; other sizes are refused */
    int32_t width;
    int32_t height;
    /* in: byte count of the pixels; set by the caller, not read */
    int32_t dataSize;
    /* in: 0 = one grey byte per pixel, 1 = red, green, blue bytes */
    int32_t dataType;
    /* in: mark shape 1 (oblong block), 2 (solid disc), 3 (circle or disc) */
    int32_t markShape;
    /* in: 1 = light mark on dark ground (image inverted), else dark on light */
    int32_t polarity;
    /* in: nominal mark size; shapes 2 and 3 accept width and height within
     * (markSize - 1) * 20 .. (markSize + 1) * 20 full-resolution pixels */
    float markSize;
    /* out (mr_interface): size of the found mark, full-resolution pixels */
    float outWidth;
    float outHeight;
    float outRadius;
    /* out (mr_interface): centre of the mark, full-resolution pixels;
     * outX = outY = 1 (width, height 1.5, radius 3.0) when none was found */
    int32_t outX;
    int32_t outY;
    /* in/out (qr_decode): zero-filled buffer of 1024 bytes; receives the
     * decoded text, zero-terminated, at most 1023 bytes */
    char *text;
} ScanRequest;

#ifdef __cplusplus
static_assert(offsetof(ScanRequest, width) == sizeof(void *), "width follows data");
static_assert(offsetof(ScanRequest, markSize) == sizeof(void *) + 24, "int fields packed");
static_assert(offsetof(ScanRequest, outY) == sizeof(void *) + 44, "out fields packed");
static_assert(offsetof(ScanRequest, text) == (sizeof(void *) == 8 ? 56 : 52), "text last");
static_assert(sizeof(ScanRequest) == (sizeof(void *) == 8 ? 64 : 56), "record size");
#endif

/* Looks for one mark of req->markShape; writes outWidth..outY. Returns 0. */
GLYPHSCAN_EXPORT int32_t mr_interface(ScanRequest *req);

/* Decodes a code symbol; on success req->text holds its text, otherwise
 * req->text is left as it was. */
GLYPHSCAN_EXPORT void qr_decode(ScanRequest *req);

#ifdef __cplusplus
}
#endif

#endif
