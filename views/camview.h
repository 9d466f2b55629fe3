#pragma once
#include <QImage>
#include <QTime>
#include <QWidget>

// The latest frame of the Wi-Fi camera, scaled to the widget.
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

    bool seek = false;      // recognition on
    int frameWidth = 640;   // blank frame size, and the only size recognition accepts
    int frameHeight = 480;
    QImage frame;           // the picture shown
    QTime nextTick;         // end of the current one-second counting interval
    int fps = 0;            // paints counted in the last finished interval
    int frameCount = 0;     // paints counted in the current interval
};
