// The lines preview with the 10,000-polygon file of the plot benchmark
// (generatedplot.h), knife offset 0.3 mm and close offset 0.5 mm applied as
// the preview shows them:
//  - BM_Repaint: one repaint() of a LineView the size of the main window's,
//    at the starting zoom and zoomed in eight wheel steps; batched (the
//    program's paintEvent) and one drawLine per segment (the plain way).
//  - BM_RepaintSwitches: the same repaint with the preview's switches on
//    (arg 1: 1 cut order, 2 the three further places of a four-place matrix
//    with 15 mm gaps, 3 both).
//  - BM_OptionRefresh: ticking or unticking the knife offset box of a shown
//    main window, from the signal to the repainted window (the slot reads the
//    file, compensates the cut paths and repaints synchronously).
#include "../generatedplot.h"
#include "../../tests/views/segmentbysegment.h"
#include "lineview.h"
#include "mainwidget.h"
#include "matrixplaces.h"
#include "preview.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int polygons = 10000;

struct Fixture
{
    QTemporaryDir dir;
    QString plotPath;
    std::unique_ptr<MainWidget> window;
    PlotPathList paths;
    QSize design; // MD size
    QSize viewSize;
};

Fixture *fixture = nullptr;

// LineView painted the plain way: one pen per path, one drawLine per segment.
class SegmentBySegmentView : public LineView
{
public:
    using LineView::LineView;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        paintBed(painter);
        drawPlotPathsSegmentBySegment(painter, paths, scale);
    }
};

void setUp()
{
    fixture = new Fixture;
    fixture->plotPath = fixture->dir.filePath(QStringLiteral("generated.plt"));
    QFile file(fixture->plotPath);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(fixture->plotPath));
    file.write(generatedplot::plotText(polygons).toLatin1());
    file.close();

    MainWidget::setSettingsPathOverride(fixture->dir.filePath(QStringLiteral("config.ini")));
    fixture->window = std::make_unique<MainWidget>();
    fixture->window->show();
    QCoreApplication::processEvents();
    auto *view = fixture->window->findChild<LineView *>(QStringLiteral("lineView"));
    fixture->viewSize = view->size();

    RouteOptions route;
    route.knifeOffsetOn = true;
    route.closeOffsetOn = true;
    PreviewSource source;
    fixture->paths = source.paths(PltSolve(), fixture->plotPath, false, route, 40);
    fixture->design = source.designSize();
}

void zoomIn(LineView &view, int steps)
{
    const QPointF centre(view.width() / 2, view.height() / 2);
    for (int i = 0; i < steps; ++i) {
        QWheelEvent event(centre, QPointF(view.mapToGlobal(centre.toPoint())), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    }
}

template <typename View>
void BM_Repaint(benchmark::State &state)
{
    View view;
    view.resize(fixture->viewSize);
    view.paths = fixture->paths;
    view.show();
    QCoreApplication::processEvents();
    zoomIn(view, int(state.range(0)));
    for (auto _ : state)
        view.repaint();
    state.counters["scale"] = view.scale;
    state.counters["width"] = view.width();
    state.counters["height"] = view.height();
}

void BM_RepaintSwitches(benchmark::State &state)
{
    LineView view;
    view.resize(fixture->viewSize);
    view.paths = fixture->paths;
    view.cutOrder = state.range(1) & 1;
    if (state.range(1) & 2)
        view.placeOffsets = matrixPlaces(MatrixLayout::Four, fixture->design, 15, 15).mid(1);
    view.show();
    QCoreApplication::processEvents();
    zoomIn(view, int(state.range(0)));
    for (auto _ : state)
        view.repaint();
}

void BM_OptionRefresh(benchmark::State &state)
{
    MainWidget &window = *fixture->window;
    auto *knife = window.findChild<QCheckBox *>(QStringLiteral("knifeOffsetChx"));
    window.findChild<QCheckBox *>(QStringLiteral("closeOffsetChx"))->setChecked(true);
    window.findChild<QLineEdit *>(QStringLiteral("filePath"))->setText(fixture->plotPath);
    for (auto _ : state) {
        knife->setChecked(!knife->isChecked());
        // What the event loop does next (deferred paints, deletions), untimed.
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["paths"] = window.findChild<LineView *>(QStringLiteral("lineView"))->paths.size();
}

// Where the refresh time goes: the pipeline alone (arg 0: a fresh source that
// reads and parses every time, the plain way; arg 1: the window's kept
// source, knife offset toggled; arg 2: a fresh source ordering the paths
// inner shapes first, as the first tick of Cut order does), and the window's
// repaint alone.
void BM_PreviewPipeline(benchmark::State &state)
{
    RouteOptions route;
    route.closeOffsetOn = true;
    const PltSolve solve;
    PreviewSource kept;
    for (auto _ : state) {
        route.knifeOffsetOn = !route.knifeOffsetOn;
        if (state.range(0) == 0)
            benchmark::DoNotOptimize(PreviewSource().paths(solve, fixture->plotPath, false, route, 40));
        else if (state.range(0) == 2)
            benchmark::DoNotOptimize(PreviewSource().paths(solve, fixture->plotPath, false, route, 40, true));
        else
            benchmark::DoNotOptimize(kept.paths(solve, fixture->plotPath, false, route, 40));
    }
}

void BM_WindowRepaint(benchmark::State &state)
{
    for (auto _ : state)
        fixture->window->repaint();
}

} // namespace

BENCHMARK_TEMPLATE(BM_Repaint, LineView)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Repaint, SegmentBySegmentView)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintSwitches)->ArgsProduct({{0, 8}, {1, 2, 3}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptionRefresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewPipeline)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRepaint)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    setUp();
    benchmark::RunSpecifiedBenchmarks();
    delete fixture;
    return 0;
}
