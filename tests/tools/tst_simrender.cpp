// The simulated cutter draws each sheet in the cutter's frame, y pointing up,
// as the preview and pltjob's pictures do: what lies near the sheet's top edge
// (large y) is near the top of the picture, what lies near x = 0 on the left.
#include "simrender.h"

#include <QtTest>

class TestSimRender : public QObject
{
    Q_OBJECT
private slots:
    void drawsWithYUp();
};

void TestSimRender::drawsWithYUp()
{
    SimSheet sheet;
    sheet.mdSize = QSize(4000, 3000);
    sheet.lines << SimLine{QLineF(0, 2800, 4000, 2800), 2}  // cut, near the top edge
                << SimLine{QLineF(200, 0, 200, 3000), 1};   // crease, near the left edge
    const QImage image = renderSheet(sheet).convertToFormat(QImage::Format_RGB32);
    // The pixels of each colour, as one box.
    QRect blue, black;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QRect pixel(i % image.width(), i / image.width(), 1, 1);
        const QRgb p = image.pixel(pixel.topLeft());
        blue |= p == QColor(Qt::blue).rgb() ? pixel : QRect();
        black |= p == QColor(Qt::black).rgb() ? pixel : QRect();
    }
    QVERIFY2(!blue.isEmpty() && blue.bottom() < image.height() / 4, qPrintable(QString::number(blue.bottom())));
    QVERIFY(!black.isEmpty() && black.right() < image.width() / 4);
}

QTEST_MAIN(TestSimRender)
#include "tst_simrender.moc"
