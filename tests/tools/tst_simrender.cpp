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

// Rows (or columns) holding a pixel of the colour, top (left) first.
static QList<int> linesWith(const QImage &image, QRgb colour, bool rows)
{
    QList<int> found;
    const int outer = rows ? image.height() : image.width();
    const int inner = rows ? image.width() : image.height();
    for (int a = 0; a < outer; ++a) {
        for (int b = 0; b < inner; ++b) {
            if (image.pixel(rows ? b : a, rows ? a : b) == colour) {
                found << a;
                break;
            }
        }
    }
    return found;
}

void TestSimRender::drawsWithYUp()
{
    SimSheet sheet;
    sheet.mdSize = QSize(4000, 3000);
    sheet.lines << SimLine{QLineF(0, 2800, 4000, 2800), 2}  // cut, near the top edge
                << SimLine{QLineF(200, 0, 200, 3000), 1};   // crease, near the left edge
    const QImage image = renderSheet(sheet).convertToFormat(QImage::Format_RGB32);
    const QList<int> blueRows = linesWith(image, QColor(Qt::blue).rgb(), true);
    QVERIFY(!blueRows.isEmpty());
    QVERIFY2(blueRows.last() < image.height() / 4, qPrintable(QString::number(blueRows.last())));
    const QList<int> blackColumns = linesWith(image, QColor(Qt::black).rgb(), false);
    QVERIFY(!blackColumns.isEmpty());
    QVERIFY(blackColumns.last() < image.width() / 4);
}

QTEST_MAIN(TestSimRender)
#include "tst_simrender.moc"
