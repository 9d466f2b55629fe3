#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QTime>
#include <QWidget>

#include "framerecogniser.h"

#include <functional>
#include <memory>

class QPainter;

// What recognition found in one camera frame (glyphscan's mr_interface and
// qr_decode on a 640 x 480 copy of it). Mark coordinates and radius are in
// frame pixels, as the library reports them.
struct CamRecognition
{
    int outX = 1;          // mark centre; outside 6..634 (or outY < 6): no mark
    int outY = 1;
    float outRadius = 3.0f;
    int polarity = 0;      // 0: dark mark found on light ground, 1: light on dark
    QByteArray qrText;     // decoded text, empty when no code was read

    bool hasMark() const { return outX >= 6 && outX <= 634 && outY >= 6; }
};

// The latest frame of the Wi-Fi camera, scaled to the widget, with the paint
// counter and, while seek is on, the mark and QR code found in the frame.
//
// Recognition runs on a thread of its own (FrameRecogniser), never in the
// paint event: every new frame is handed over while seek is on, a frame that
// arrives during a search replaces the one waiting, and the view shows the
// latest frame searched together with what was found in it, so the drawing
// always matches the picture under it. Until a first result is in, and
// while seek is off, the view shows each frame as it comes.
class CamView : public QWidget
{
    Q_OBJECT
public:
    using Recognise = std::function<CamRecognition(const QImage &frame)>;

    explicit CamView(QWidget *parent = nullptr);
    ~CamView() override;

    // Replaces the picture by a black frameWidth x frameHeight frame.
    void resetImage();
    // What became of a picture handed to loadFrame.
    enum class Load { Shown, Undecodable, TooLarge };
    // Largest picture side shown: a few hundred bytes of JPEG can claim a
    // picture of gigabytes, and the camera sends 640 x 480.
    static constexpr int kMaxFrameSide = 4096;

    // Decodes one encoded picture (JPEG from the camera). Data that does not
    // decode, or whose header claims a side over kMaxFrameSide (refused
    // before decoding), leaves the previous picture; the view repaints
    // either way, but while it shows recognition results it repaints with
    // the next result.
    Load loadFrame(const uchar *data, int size);

    // Runs the mark search (dark mark first, then light) and the QR decoding
    // (dark code first, then light) on the frame. Frames of another size than
    // 640 x 480 are searched as a black image and give nothing.
    static CamRecognition recognise(const QImage &frame);
    // Replaces the recognition (tests make it slow or count its calls).
    void setRecognise(Recognise recognise);

    // Results shown since the view was made (for measurements and tests).
    int recognitions() const { return m_recognitions; }

    bool seek = false;      // recognition on
    int frameWidth = 640;   // blank frame size, and the only size recognition accepts
    int frameHeight = 480;
    QImage frame;           // the latest picture
    QTime nextTick;         // end of the current one-second counting interval
    int fps = 0;            // paints counted in the last finished interval
    int frameCount = 0;     // paints counted in the current interval

signals:
    // A recognition result is shown (on the GUI thread).
    void recognised();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void countPaint();
    void drawFps(QPainter &painter) const;
    void submitFrame();
    void showResult(quint64 serial, const QImage &searched, const CamRecognition &found);
    void drawMark(QPainter &painter, const CamRecognition &found) const;
    void drawQrText(QPainter &painter, const CamRecognition &found) const;
    void newFrame();

    quint64 m_frameSerial = 1;      // changes with every new picture
    quint64 m_submittedSerial = 0;  // last picture handed to the recogniser; 0: none
    quint64 m_recognisedSerial = 0; // picture that m_found belongs to; 0: none
    QImage m_searched;              // that picture
    CamRecognition m_found;
    int m_recognitions = 0;
    std::unique_ptr<FrameRecogniser<CamRecognition>> m_recogniser;
};
