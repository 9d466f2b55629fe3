#pragma once
#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>

// The picture of the simulated camera: a light sheet with a black
// registration disc on the left and a QR code on the right, both drifting
// slowly so the recognition overlay can be seen to follow them.
//
// Sizes are in frame pixels of a 640 x 480 frame. The disc is 100 pixels
// across, which the camera view's mark search (shape 3, size 5) accepts; the
// code's modules are 6 pixels so it still reads at half resolution.
class CamScene
{
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kDiscRadius = 50;
    static constexpr int kModulePixels = 6;

    // An empty text, or one that does not fit a QR code, leaves the code out.
    explicit CamScene(const QByteArray &qrText);

    QByteArray qrText() const { return m_qrText; }
    // Where the disc's centre and the code (quiet zone included) are at ms
    // milliseconds after the start.
    QPoint discCentre(qint64 ms) const;
    QRect qrRect(qint64 ms) const;
    // The frame at ms; serial is printed small in a corner.
    QImage frame(qint64 ms, int serial) const;

private:
    QByteArray m_qrText;
    QImage m_code; // one pixel per module, quiet zone included
};

// JPEG bytes of image at the given quality (0..100). The camera's framing has
// no escaping, so data that happens to hold the end marker is encoded again
// at a lower quality until it does not.
QByteArray encodeCameraJpeg(const QImage &image, int quality);
// "J_S=" + jpeg + "J_E;", as the camera sends one frame.
QByteArray frameCameraJpeg(const QByteArray &jpeg);
