#include "framestream.h"

namespace {
const char kStartMarker[4] = {'J', '_', 'S', '='};
const char kEndMarker[4] = {'J', '_', 'E', ';'};
const char kJpegStart[3] = {'\xFF', '\xD8', '\xFF'};
constexpr int kMarkerLength = 4;
} // namespace

void FrameStream::feed(const QByteArray &bytes, const FrameSink &sink)
{
    for (const char byte : bytes) {
        if (inFrame)
            matchEnd(byte, sink);
        else
            matchStart(byte);
    }
}

void FrameStream::reset()
{
    frameBuffer.clear();
    inFrame = false;
    markerState = 0;
}

void FrameStream::matchStart(char byte)
{
    if (!frameBuffer.isEmpty())
        frameBuffer.clear();
    if (byte != kStartMarker[markerState]) {
        markerState = 0;
        return;
    }
    if (++markerState == kMarkerLength) {
        inFrame = true;
        markerState = 0;
    }
}

void FrameStream::matchEnd(char byte, const FrameSink &sink)
{
    frameBuffer.append(byte);
    if (byte != kEndMarker[markerState]) {
        markerState = 0;
        if (frameBuffer.size() > kMaxFrameBytes)
            dropFrame();
        return;
    }
    if (++markerState == kMarkerLength)
        finishFrame(sink);
}

void FrameStream::finishFrame(const FrameSink &sink)
{
    frameBuffer.chop(kMarkerLength);
    if (frameBuffer.startsWith(QByteArray::fromRawData(kJpegStart, sizeof kJpegStart)))
        sink(frameBuffer);
    frameBuffer.clear();
    inFrame = false;
    markerState = 0;
}

void FrameStream::dropFrame()
{
    ++m_oversizeDrops;
    reset();
}
