// The main window's preview refresh: the file, rotation, offsets, the
// illustrations, the transport switch and a plot file dropped on the field.
#include "cutview.h"
#include "knifeview.h"
#include "lineview.h"
#include "mainwidget.h"

#include <QMimeData>
#include <QtTest>
#include <QtWidgets>

class TestOptionSlots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { delete window; }
    void previewFollowsFileAndOffsets();
    void rotateRereadsAndTurns();
    void illustrationsFollowOffsetsWithoutFile();
    void devTypeAsksTheLinkForCutters();
    void droppedFileIsPreviewed();

private:
    template <typename T> T *child(const char *name) { return window->findChild<T *>(name); }
    QCheckBox *box(const char *name) { return child<QCheckBox>(name); }
    PlotPathList shown() { return child<LineView>("lineView")->paths; }
    void writePlot(const QByteArray &text)
    {
        QFile f(plot);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QTemporaryDir dir;
    QString plot;
    MainWidget *window = nullptr;
};

static const QByteArray boxPlot = "MD0,0,4000,3000,4;\nSP1;\nPU400,1000;PD3600,1000;\n"
                                  "PU1400,400;PD1400,2600;\nSP2;\n"
                                  "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n"
                                  "PU2600,1400;PD3000,1600;\n!PG;\n";

void TestOptionSlots::initTestCase()
{
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
    plot = dir.filePath(QStringLiteral("box.plt"));
}

void TestOptionSlots::init()
{
    writePlot(boxPlot);
    window = new MainWidget;
}

void TestOptionSlots::previewFollowsFileAndOffsets()
{
    auto *path = child<QLineEdit>("filePath");
    QVERIFY(shown().isEmpty());
    path->setText(plot);
    const PlotPathList plain = shown();
    QCOMPARE(plain.size(), 4);
    QCOMPARE(plain.at(0).segments.at(0), QLineF(400, 1000, 3600, 1000));
    QCOMPARE(plain.at(2).pen, 2);

    // Offsets in mm reach the cut paths as plotter units; crease stays.
    child<QDoubleSpinBox>("knifeOffset")->setValue(0.5);
    child<QDoubleSpinBox>("closeOffset")->setValue(1.0);
    QCOMPARE(shown(), plain); // while unticked
    box("knifeOffsetChx")->setChecked(true);
    box("closeOffsetChx")->setChecked(true);
    QCOMPARE(shown(), plain.mid(0, 2) + PltSolve().compensateKnife(plain.mid(2), 20, 40));

    QVERIFY(QFile::remove(plot)); // gone: the next refresh clears the preview
    box("knifeOffsetChx")->setChecked(false);
    QVERIFY(shown().isEmpty());
    writePlot(boxPlot);
    box("knifeOffsetChx")->setChecked(true);
    QCOMPARE(shown().size(), 4);
    path->clear(); // at once
    QVERIFY(shown().isEmpty());
    writePlot(QByteArray()); // empty file, or a folder: nothing, no complaint
    path->setText(plot);
    QVERIFY(shown().isEmpty());
    path->setText(dir.path());
    QVERIFY(shown().isEmpty());
}

void TestOptionSlots::rotateRereadsAndTurns()
{
    child<QLineEdit>("filePath")->setText(plot);
    QByteArray changed = boxPlot;
    writePlot(changed.replace("1000;PD3600,1000", "1100;PD3600,1100"));
    box("rotate")->setChecked(true);
    const PlotPathList paths = shown();
    // x and y exchanged, then mirrored about the sheet height 4000 (MD's c).
    QCOMPARE(paths.at(0).segments.at(0), QLineF(1100, 3600, 1100, 400));
    QCOMPARE(paths.at(3).segments.at(0), QLineF(1400, 1400, 1600, 1000));
    box("rotate")->setChecked(false);
    QCOMPARE(shown().at(0).segments.at(0), QLineF(400, 1100, 3600, 1100));
    // Every refresh reads the file again, not only a change of rotation.
    writePlot(changed.replace("1100;PD3600,1100", "1200;PD3600,1200"));
    box("closeOffsetChx")->setChecked(true);
    QCOMPARE(shown().at(0).segments.at(0), QLineF(400, 1200, 3600, 1200));
}

void TestOptionSlots::illustrationsFollowOffsetsWithoutFile()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *cut = child<CutView>("cutview");
    auto *knife = child<KnifeView>("knifeview");
    const QImage before = cut->grab().toImage();
    child<QDoubleSpinBox>("knifeOffset")->setValue(0.7);
    box("knifeOffsetChx")->setChecked(true);
    child<QDoubleSpinBox>("closeOffset")->setValue(0.9);
    QCOMPARE(QList<bool>({cut->knifeOffsetOn, cut->closeOffsetOn, knife->knifeOffsetOn}),
             QList<bool>({true, false, true}));
    QCOMPARE(QList<double>({cut->knifeOffsetMm, cut->closeOffsetMm, knife->knifeOffsetMm}),
             QList<double>({0.7, 0.9, 0.7}));
    QVERIFY(cut->grab().toImage() != before);
}

void TestOptionSlots::devTypeAsksTheLinkForCutters()
{
    // An entry left in the box is no cutter: the link's own list decides.
    auto *devType = child<QComboBox>("devType");
    child<QComboBox>("device")->addItem(QStringLiteral("USB001"));
    devType->setCurrentText(QStringLiteral("RJ45"));
    QVERIFY(child<QPushButton>("connectBtn")->isEnabled());
    QVERIFY(child<QWidget>("deviceIP")->isVisibleTo(window));
    devType->setCurrentText(QStringLiteral("USB"));
    QVERIFY(!child<QPushButton>("connectBtn")->isEnabled());
    QVERIFY(!child<QWidget>("deviceIP")->isVisibleTo(window));
    QCOMPARE(child<QComboBox>("device")->count(), 1); // not refilled
}

void TestOptionSlots::droppedFileIsPreviewed()
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(plot)});
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(child<QLineEdit>("filePath"), &enter);
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(child<QLineEdit>("filePath"), &drop);
    QCOMPARE(child<QLineEdit>("filePath")->text(), plot);
    QCOMPARE(shown().size(), 4);
}

QTEST_MAIN(TestOptionSlots)
#include "tst_optionslots.moc"
