#include "camscene.h"

#include <QBuffer>
#include <QPainter>

#include <qrencode.h>

#include <cmath>

namespace {
constexpr int kQuietModules = 4;
const QColor kSheet(236, 236, 232);

// Offset of a slow sine drift: amplitude pixels, one swing every periodMs.
int drift(qint64 ms, int amplitude, double periodMs, double phase = 0.0)
{
    const double turn = 2.0 * M_PI * double(ms) / periodMs + phase;
    return int(std::lround(amplitude * std::sin(turn)));
}

QImage renderCode(const QByteArray &text)
{
    if (text.isEmpty())
        return {};
    QRcode *code = QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M);
    if (!code)
        return {};
    const int size = code->width + 2 * kQuietModules;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + kQuietModules, y + kQuietModules, qRgb(0, 0, 0));
    QRcode_free(code);
    return image;
}
} // namespace

CamScene::CamScene(const QByteArray &qrText)
    : m_code(renderCode(qrText))
{
    if (!m_code.isNull())
        m_qrText = qrText;
}

QPoint CamScene::discCentre(qint64 ms) const
{
    return {170 + drift(ms, 60, 12000.0), 240 + drift(ms, 110, 9000.0, 0.7)};
}

QRect CamScene::qrRect(qint64 ms) const
{
    if (m_code.isNull())
        return {};
    const int side = m_code.width() * kModulePixels;
    const int left = kWidth - side - 30 + drift(ms, 25, 10000.0);
    const int top = (kHeight - side) / 2 + drift(ms, (kHeight - side) / 2 - 10, 14000.0, 1.3);
    return {left, top, side, side};
}

QImage CamScene::frame(qint64 ms, int serial) const
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kSheet);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(discCentre(ms), kDiscRadius, kDiscRadius);
    if (!m_code.isNull())
        painter.drawImage(qrRect(ms), m_code); // nearest pixel: sharp modules
    painter.setPen(QColor(150, 150, 150));
    painter.drawText(QPoint(8, kHeight - 8), QStringLiteral("cam-sim %1").arg(serial));
    return image;
}

QByteArray encodeCameraJpeg(const QImage &image, int quality)
{
    static const QByteArray endMarker("J_E;");
    for (int q = qBound(1, quality, 100);; --q) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", q);
        if (!jpeg.contains(endMarker) || q == 1)
            return jpeg;
    }
}

QByteArray frameCameraJpeg(const QByteArray &jpeg)
{
    return QByteArrayLiteral("J_S=") + jpeg + QByteArrayLiteral("J_E;");
}
