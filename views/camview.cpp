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
    frame.loadFromData(data, size);
    repaint();
}
