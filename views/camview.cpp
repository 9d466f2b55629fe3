#include "camview.h"

static QImage blankFrame(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 0, 255));
    return image;
}

CamView::CamView(QWidget *parent)
    : QWidget(parent)
    , frame(blankFrame(frameWidth, frameHeight))
    , nextTick(QTime::currentTime().addSecs(1))
{
    repaint();
}

void CamView::resetImage()
{
    frame = blankFrame(frameWidth, frameHeight);
    repaint();
}

void CamView::loadFrame(const uchar *data, int size)
{
    // QImage::loadFromData would leave a null image behind on failure; decode
    // aside so a damaged frame keeps the last good picture on screen.
    QImage decoded;
    if (decoded.loadFromData(data, size))
        frame = decoded;
    repaint();
}
