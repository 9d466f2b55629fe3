// The main window's preview refresh: file changes, rotation, offsets, the
// illustrations, the transport switch, and a plot file dropped on the field.
#include "cutview.h"
#include "knifeview.h"
#include "lineview.h"
#include "mainwidget.h"
#include "mylineedit.h"

#include <QMimeData>
#include <QtTest>
#include <QtWidgets>

class TestOptionSlots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void previewFollowsTheFile();
    void rotateRereadsAndTurns();
    void offsetsCompensateCutPathsOnly();
    void illustrationsFollowOffsetsWithoutFile();
    void devTypeAsksTheLinkForCutters();
    void droppedFileIsPreviewed();

private:
    template <typename T> T *child(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    PlotPathList shown() { return child<LineView>("lineView")->paths; }
    void writePlot(const QByteArray &text);

    QTemporaryDir dir;
    QString plot;
    MainWidget *window = nullptr;
};

static const QByteArray boxPlot = "MD0,0,4000,3000,4;\nSP1;\n"
                                  "PU400,1000;PD3600,1000;\n"
                                  "PU1400,400;PD1400,2600;\n"
                                  "SP2;\n"
                                  "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n"
                                  "PU2600,1400;PD3000,1600;\n"
                                  "!PG;\n";

void TestOptionSlots::initTestCase()
{
    QVERIFY(dir.isValid());
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
    plot = dir.filePath(QStringLiteral("box.plt"));
}

void TestOptionSlots::init()
{
    QFile::remove(dir.filePath(QStringLiteral("config.ini")));
    writePlot(boxPlot);
    window = new MainWidget;
}

void TestOptionSlots::cleanup()
{
    delete window;
    window = nullptr;
}

void TestOptionSlots::writePlot(const QByteArray &text)
{
    QFile f(plot);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

void TestOptionSlots::previewFollowsTheFile()
{
    QVERIFY(shown().isEmpty());
    child<QLineEdit>("filePath")->setText(plot);
    const PlotPathList paths = shown();
    QCOMPARE(paths.size(), 4);
    QCOMPARE(paths.at(0).pen, 1);
    QCOMPARE(paths.at(0).segments.at(0), QLineF(400, 1000, 3600, 1000));
    QCOMPARE(paths.at(2).pen, 2);
    QCOMPARE(paths.at(2).segments.size(), 4);

    // The file disappears: the next refresh clears the preview.
    QVERIFY(QFile::remove(plot));
    child<QCheckBox>("closeOffsetChx")->setChecked(true);
    QVERIFY(shown().isEmpty());

    writePlot(boxPlot);
    child<QCheckBox>("closeOffsetChx")->setChecked(false);
    QCOMPARE(shown().size(), 4);
    child<QLineEdit>("filePath")->clear(); // clearing the field empties it at once
    QVERIFY(shown().isEmpty());

    // A folder or an empty file by that name: nothing to show, no complaint.
    writePlot(QByteArray());
    child<QLineEdit>("filePath")->setText(plot);
    QVERIFY(shown().isEmpty());
    child<QLineEdit>("filePath")->setText(dir.path());
    QVERIFY(shown().isEmpty());
}

void TestOptionSlots::rotateRereadsAndTurns()
{
    child<QLineEdit>("filePath")->setText(plot);
    QByteArray changed = boxPlot;
    changed.replace("PU400,1000;PD3600,1000;", "PU400,1100;PD3600,1100;");
    writePlot(changed);

    child<QCheckBox>("rotate")->setChecked(true);
    const PlotPathList paths = shown();
    QCOMPARE(paths.size(), 4);
    // x and y exchanged, then mirrored about the sheet height 4000 (MD's c).
    QCOMPARE(paths.at(0).segments.at(0), QLineF(1100, 3600, 1100, 400));
    QCOMPARE(paths.at(1).segments.at(0), QLineF(400, 2600, 2600, 2600));
    QCOMPARE(paths.at(3).segments.at(0), QLineF(1400, 1400, 1600, 1000));

    child<QCheckBox>("rotate")->setChecked(false);
    QCOMPARE(shown().at(0).segments.at(0), QLineF(400, 1100, 3600, 1100));

    // Any refresh reads the file again, not only a change of rotation.
    changed.replace("PU400,1100;PD3600,1100;", "PU400,1200;PD3600,1200;");
    writePlot(changed);
    child<QCheckBox>("closeOffsetChx")->setChecked(true);
    QCOMPARE(shown().at(0).segments.at(0), QLineF(400, 1200, 3600, 1200));
}

void TestOptionSlots::offsetsCompensateCutPathsOnly()
{
    child<QLineEdit>("filePath")->setText(plot);
    const PlotPathList plain = shown();
    child<QDoubleSpinBox>("knifeOffset")->setValue(0.5);
    child<QDoubleSpinBox>("closeOffset")->setValue(1.0);
    QCOMPARE(shown(), plain); // values alone change nothing while unticked

    child<QCheckBox>("knifeOffsetChx")->setChecked(true);
    child<QCheckBox>("closeOffsetChx")->setChecked(true);
    const PltSolve solve;
    const PlotPathList expected = plain.mid(0, 2) + solve.compensateKnife(plain.mid(2), 20, 40);
    QVERIFY(expected != plain);
    QCOMPARE(shown(), expected);
}

void TestOptionSlots::illustrationsFollowOffsetsWithoutFile()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *cut = child<CutView>("cutview");
    auto *knife = child<KnifeView>("knifeview");
    int paints = 0;
    struct Counter : QObject
    {
        int *n;
        explicit Counter(int *count) : n(count) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                ++*n;
            return false;
        }
    } counter(&paints);
    cut->installEventFilter(&counter);

    child<QDoubleSpinBox>("knifeOffset")->setValue(0.7);
    child<QCheckBox>("knifeOffsetChx")->setChecked(true);
    child<QDoubleSpinBox>("closeOffset")->setValue(0.9);
    QVERIFY(paints >= 3); // repainted at once, not at the next event loop turn
    QVERIFY(cut->knifeOffsetOn);
    QCOMPARE(cut->knifeOffsetMm, 0.7);
    QVERIFY(!cut->closeOffsetOn);
    QCOMPARE(cut->closeOffsetMm, 0.9);
    QVERIFY(knife->knifeOffsetOn);
    QCOMPARE(knife->knifeOffsetMm, 0.7);

    child<QCheckBox>("knifeOffsetChx")->setChecked(false);
    child<QCheckBox>("closeOffsetChx")->setChecked(true);
    QVERIFY(!cut->knifeOffsetOn);
    QVERIFY(!knife->knifeOffsetOn);
    QVERIFY(cut->closeOffsetOn);
}

void TestOptionSlots::devTypeAsksTheLinkForCutters()
{
    // An entry left in the box is no cutter: the link's own list decides.
    auto *devType = child<QComboBox>("devType");
    auto *connect = child<QPushButton>("connectBtn");
    child<QComboBox>("device")->addItem(QStringLiteral("USB001"));
    devType->setCurrentText(QStringLiteral("RJ45"));
    QVERIFY(connect->isEnabled());
    QVERIFY(!child<QWidget>("device")->isVisibleTo(window));
    QVERIFY(child<QWidget>("deviceIP")->isVisibleTo(window));
    devType->setCurrentText(QStringLiteral("USB"));
    QVERIFY(!connect->isEnabled());
    QVERIFY(child<QWidget>("device")->isVisibleTo(window));
    QVERIFY(!child<QWidget>("deviceIP")->isVisibleTo(window));
    QCOMPARE(child<QComboBox>("device")->count(), 1); // not refilled
}

void TestOptionSlots::droppedFileIsPreviewed()
{
    auto *field = child<MyLineEdit>("filePath");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(plot)});
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &drop);
    QCOMPARE(field->text(), plot);
    QCOMPARE(shown().size(), 4);
}

QTEST_MAIN(TestOptionSlots)
#include "tst_optionslots.moc"
