// The camera view's picture: blank frame, decoding frames, refusing bad data.
#include "camview.h"

#include <QtTest>

class TestCamView : public QObject
{
    Q_OBJECT
private slots:
    void startsBlack();
    void loadFrameReplacesPictureOnlyWhenItDecodes();
};

static bool allBlack(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0))
                return false;
    return true;
}

void TestCamView::startsBlack()
{
    CamView view;
    QCOMPARE(view.frame.size(), QSize(640, 480));
    QCOMPARE(view.frame.format(), QImage::Format_RGB32);
    QVERIFY(allBlack(view.frame));
}

void TestCamView::loadFrameReplacesPictureOnlyWhenItDecodes()
{
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(picture.save(&buffer, "JPG"));

    CamView view;
    view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
    QCOMPARE(view.frame.size(), QSize(320, 240));
    QVERIFY(qGray(view.frame.pixel(160, 120)) > 240);

    // Data that does not decode (a frame cut short) keeps the last picture.
    view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), 40);
    QCOMPARE(view.frame.size(), QSize(320, 240));
    QVERIFY(qGray(view.frame.pixel(160, 120)) > 240);

    view.resetImage();
    QCOMPARE(view.frame.size(), QSize(640, 480));
    QVERIFY(allBlack(view.frame));
}

QTEST_MAIN(TestCamView)
#include "tst_camview.moc"
