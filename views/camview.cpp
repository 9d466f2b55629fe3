#include "camview.h"

#include "glyphscan.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPen>

#include <cmath>
#include <cstring>
#include <memory>

namespace {
constexpr int kScanWidth = 640;
constexpr int kScanHeight = 480;
constexpr int kScanBytes = kScanWidth * kScanHeight * 3;
constexpr int kTextBytes = 1024;

QImage blankFrame(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 0, 255));
    return image;
}

QPen solidPen(Qt::GlobalColor colour, qreal width)
{
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

// Red, green, blue bytes of a 640 x 480 frame, row by row; black for any other size.
std::unique_ptr<unsigned char[]> scanBuffer(const QImage &frame)
{
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kScanBytes]());
    if (frame.width() != kScanWidth || frame.height() != kScanHeight)
        return buffer;
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    unsigned char *out = buffer.get();
    for (int y = 0; y < kScanHeight; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < kScanWidth; ++x) {
            *out++ = static_cast<unsigned char>(qRed(line[x]));
            *out++ = static_cast<unsigned char>(qGreen(line[x]));
            *out++ = static_cast<unsigned char>(qBlue(line[x]));
        }
    }
    return buffer;
}

void setImage(ScanRequest &request, const unsigned char *data)
{
    request.data = data;
    request.width = kScanWidth;
    request.height = kScanHeight;
    request.dataSize = kScanBytes;
    request.dataType = 1; // 24-bit colour
}

bool markMissed(const ScanRequest &request)
{
    return request.outX < 5 || request.outX > 635 || request.outY < 5;
}
} // namespace

CamView::CamView(QWidget *parent)
    : QWidget(parent)
    , frame(blankFrame(frameWidth, frameHeight))
    , nextTick(QTime::currentTime().addSecs(1))
{
    setRecognise(&CamView::recognise);
    repaint();
}

CamView::~CamView()
{
    m_recogniser.reset(); // a result still under way is dropped with the view's posted events
}

void CamView::setRecognise(Recognise recognise)
{
    m_recogniser.reset();
    m_submittedSerial = 0;
    m_recogniser = std::make_unique<FrameRecogniser<CamRecognition>>(
        std::move(recognise), [this](quint64 serial, const QImage &searched, const CamRecognition &found) {
            QMetaObject::invokeMethod(
                this, [this, serial, searched, found] { showResult(serial, searched, found); },
                Qt::QueuedConnection);
        });
}

void CamView::resetImage()
{
    frame = blankFrame(frameWidth, frameHeight);
    newFrame();
    repaint();
}

CamView::Load CamView::loadFrame(const uchar *data, int size)
{
    // The header's size is read first: the picture is only decoded when it
    // is of a size worth showing. Decoding aside keeps the last good picture
    // on screen when a frame is damaged.
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize claimed = reader.size();
    Load load = Load::Undecodable;
    if (claimed.width() > kMaxFrameSide || claimed.height() > kMaxFrameSide) {
        load = Load::TooLarge;
    } else if (QImage decoded = reader.read(); !decoded.isNull()) {
        frame = decoded;
        newFrame();
        load = Load::Shown;
    }
    // While results are shown, the picture changes with the next result.
    if (!seek || m_recognisedSerial == 0)
        repaint();
    return load;
}

void CamView::newFrame()
{
    ++m_frameSerial;
    if (seek)
        submitFrame();
}

void CamView::submitFrame()
{
    if (m_submittedSerial == m_frameSerial)
        return;
    m_recogniser->submit(frame, m_frameSerial);
    m_submittedSerial = m_frameSerial;
}

void CamView::showResult(quint64 serial, const QImage &searched, const CamRecognition &found)
{
    if (!seek || serial <= m_recognisedSerial)
        return; // seek went off meanwhile, or a newer result is shown
    m_found = found;
    m_searched = searched;
    m_recognisedSerial = serial;
    ++m_recognitions;
    update();
    emit recognised();
}

CamRecognition CamView::recognise(const QImage &frame)
{
    const std::unique_ptr<unsigned char[]> pixels = scanBuffer(frame);
    ScanRequest request;
    std::memset(&request, 0, sizeof request);
    setImage(request, pixels.get());
    request.markShape = 3;
    request.polarity = 0;
    request.markSize = 5.0f;
    mr_interface(&request);
    if (markMissed(request)) {
        request.polarity = 1;
        mr_interface(&request);
    }
    CamRecognition found;
    found.outX = request.outX;
    found.outY = request.outY;
    found.outRadius = request.outRadius;
    found.polarity = request.polarity;

    std::unique_ptr<char[]> text(new char[kTextBytes]());
    setImage(request, pixels.get());
    request.text = text.get();
    request.polarity = 0;
    qr_decode(&request);
    if (text[0] == '\0') {
        request.polarity = 1;
        qr_decode(&request);
    }
    found.qrText = QByteArray(text.get(), int(qstrnlen(text.get(), kTextBytes - 1)));
    return found;
}

void CamView::paintEvent(QPaintEvent *)
{
    if (!seek) {
        m_submittedSerial = m_recognisedSerial = 0; // a later seek starts from a fresh search
        m_searched = QImage();
    } else {
        submitFrame(); // seek was switched on since the last frame came
    }
    const bool result = seek && m_recognisedSerial != 0;
    QPainter painter(this);
    painter.drawImage(QRect(0, 0, width(), height()), result ? m_searched : frame);
    countPaint();
    drawFps(painter);
    if (!result)
        return;
    if (m_found.hasMark())
        drawMark(painter, m_found);
    drawQrText(painter, m_found);
}

void CamView::countPaint()
{
    frameCount += 1;
    const QTime now = QTime::currentTime();
    if (now > nextTick) {
        nextTick = now.addSecs(1);
        fps = frameCount;
        frameCount = 0;
    }
}

void CamView::drawFps(QPainter &painter) const
{
    painter.setPen(solidPen(Qt::black, 1.0));
    painter.drawText(QPoint(10, 15), QStringLiteral("FPS:%1").arg(fps));
}

void CamView::drawMark(QPainter &painter, const CamRecognition &found) const
{
    const int w = width();
    const int h = height();
    const float r = found.outRadius;
    const int x = w * found.outX / kScanWidth;
    const int y = h * found.outY / kScanHeight;
    // Single precision, cut towards zero, as the camera tools draw it.
    const auto scaled = [](float value, int size, int full) {
        return int(std::trunc(value * float(size) / float(full)));
    };

    painter.setPen(solidPen(Qt::green, 1.5));
    painter.drawPoint(x, y);
    painter.drawEllipse(QPoint(x, y), scaled(r, w, kScanWidth), scaled(r, h, kScanHeight));

    painter.setPen(QPen(Qt::DashLine));
    painter.drawLine(0, y, scaled(float(found.outX) - r, w, kScanWidth), y);
    painter.drawLine(scaled(float(found.outX) + r, w, kScanWidth), y, w, y);
    painter.drawLine(x, 0, x, scaled(float(found.outY) - r, h, kScanHeight));
    painter.drawLine(x, scaled(float(found.outY) + r, h, kScanHeight), x, h);

    painter.setPen(solidPen(Qt::black, 1.0));
    painter.drawText(QPoint(210, 15), found.polarity == 1 ? QStringLiteral("WH Mark;")
                                                          : QStringLiteral("BK Mark;"));
}

void CamView::drawQrText(QPainter &painter, const CamRecognition &found) const
{
    if (found.qrText.isEmpty())
        return;
    painter.setPen(solidPen(Qt::blue, 1.0));
    painter.drawText(QPoint(70, 15), QStringLiteral("QR Code:") + QString::fromLatin1(found.qrText));
}
