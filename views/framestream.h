#pragma once
#include <QByteArray>

#include <functional>

// Assembles the camera's JPEG frames from its TCP stream. Each frame travels
// as the start marker "J_S=", the JPEG data and the end marker "J_E;"; bytes
// outside a frame are ignored, there is no length field and no escaping.
//
// The bytes are matched one at a time and the state carries over from one
// read to the next, so a marker split over two reads is still found. A byte
// that breaks a partial marker is not tried again as the marker's first byte
// (the camera never sends "JJ_S=", and a frame's data never starts with 'J').
//
// A frame is handed on only when its data starts with FF D8 FF (a JPEG start
// of image); any other frame is dropped. A frame that grows beyond
// kMaxFrameBytes without an end marker is dropped too, and matching starts
// again from the next start marker, so a stream that loses its end marker
// cannot make the buffer grow without bound.
class FrameStream
{
public:
    using FrameSink = std::function<void(const QByteArray &jpeg)>;

    static constexpr int kMaxFrameBytes = 4 * 1024 * 1024;

    // Matches bytes; calls sink once for every complete JPEG frame, in order.
    void feed(const QByteArray &bytes, const FrameSink &sink);
    // Forgets a partial frame and a partial marker (a new stream starts).
    void reset();

    // Frames dropped because they outgrew kMaxFrameBytes.
    int oversizeDrops() const { return m_oversizeDrops; }

    QByteArray frameBuffer; // data of the frame being received, end marker bytes included
    bool inFrame = false;   // a start marker has been seen and the end marker has not
    int markerState = 0;    // bytes of the marker being matched seen so far (0..3)

private:
    void matchStart(char byte);
    void matchEnd(char byte, const FrameSink &sink);
    void finishFrame(const FrameSink &sink);
    void dropFrame();

    int m_oversizeDrops = 0;
};
