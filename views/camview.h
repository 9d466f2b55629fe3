#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QTime>
#include <QWidget>

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
// Recognition runs inside the paint event, at most once per frame: a repaint
// of the same frame draws the result already found. When recognising takes
// longer than the frames come, a new frame is recognised only after the GUI
// thread has had at least as long as the last recognition took for other
// work; frames in between are shown with the latest result, and a frame left
// over at the end of a burst is recognised on a deferred repaint. So with
// seek on the view keeps up with the stream and clicks are handled promptly.
class CamView : public QWidget
{
    Q_OBJECT
public:
    explicit CamView(QWidget *parent = nullptr);

    // Replaces the picture by a black frameWidth x frameHeight frame.
    void resetImage();
    // Decodes one encoded picture (JPEG from the camera). Data that does not
    // decode leaves the previous picture; the view repaints either way.
    void loadFrame(const uchar *data, int size);

    // Runs the mark search (dark mark first, then light) and the QR decoding
    // (dark code first, then light) on the frame. Frames of another size than
    // 640 x 480 are searched as a black image and give nothing.
    static CamRecognition recognise(const QImage &frame);

    // Frames recognised since the view was made (for measurements).
    int recognitions() const { return m_recognitions; }

    bool seek = false;      // recognition on
    int frameWidth = 640;   // blank frame size, and the only size recognition accepts
    int frameHeight = 480;
    QImage frame;           // the picture shown
    QTime nextTick;         // end of the current one-second counting interval
    int fps = 0;            // paints counted in the last finished interval
    int frameCount = 0;     // paints counted in the current interval

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void countPaint();
    void drawFps(QPainter &painter) const;
    void updateRecognition();
    bool recognitionDue();
    void drawMark(QPainter &painter, const CamRecognition &found) const;
    void drawQrText(QPainter &painter, const CamRecognition &found) const;
    void newFrame();

    quint64 m_frameSerial = 1;      // changes with every new picture
    quint64 m_recognisedSerial = 0; // picture that m_found belongs to; 0: none
    CamRecognition m_found;
    QElapsedTimer m_clock;
    qint64 m_lastRecognitionEnd = 0; // ns on m_clock
    qint64 m_lastRecognitionCost = 0; // ns
    bool m_retryPending = false;
    int m_recognitions = 0;
};
