// The window keeps its size on a real display with the fonts the packages
// install (run under Xvfb with the xcb platform: the offscreen platform's font
// metrics are not a display's): through every work mode and matrix choice,
// with a long state text, in both languages.
#include "cutterjobs.h"
#include "elidedlabel.h"
#include "mainwidget.h"

#include <QtTest>
#include <QtWidgets>

class TestWindowSize : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void windowStaysPut();

private:
    QTemporaryDir dir;
};

void TestWindowSize::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"), "run this test under Xvfb (xcb)");
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
}

static QWidget *child(QWidget &w, const char *name)
{
    QWidget *found = w.findChild<QWidget *>(QLatin1String(name));
    return found ? found : (qFatal("no widget %s", name), nullptr);
}

// A visible control squeezed below what it needs, or reaching outside the window.
static QStringList clippedControls(QWidget &window)
{
    QStringList clipped;
    for (QWidget *c : window.findChildren<QWidget *>()) {
        if (!c->isVisible() || c->objectName().isEmpty() || c->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect inWindow(c->mapTo(&window, QPoint(0, 0)), c->size());
        const QSize needed = c->minimumSizeHint();
        if (!window.rect().contains(inWindow) || c->width() < needed.width() || c->height() < needed.height())
            clipped << QStringLiteral("%1 %2x%3 needs %4x%5").arg(c->objectName()).arg(c->width()).arg(c->height())
                           .arg(needed.width()).arg(needed.height());
    }
    return clipped;
}

// Through every mode and matrix choice, and with a long state text, in both
// languages: the window keeps 1024 x 768 and every control its room.
void TestWindowSize::windowStaysPut()
{
    for (const char *language : {"en", "zh"}) {
        MainWidget::setLanguageOverride(QString::fromLatin1(language));
        MainWidget w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString longState = QStringLiteral("Sheet 12 of 250: no plot file for this sheet, moving it out "
                                                 "uncut... about 1 h 12 min 30 s left");
        for (int step = 0; step < 12; ++step) {
            for (const char *matrix : {"matOne", "matTwo", "matFour"}) {
                QTest::mouseClick(child(w, matrix), Qt::LeftButton);
                qobject_cast<QLabel *>(child(w, "stateText"))->setText(step % 2 ? longState : QStringLiteral("Idle..."));
                QCoreApplication::processEvents();
                QCOMPARE(w.size(), QSize(1024, 768));
                const QStringList clipped = clippedControls(w);
                QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("%1, mode %2, %3: %4").arg(language).arg(step)
                                                           .arg(matrix, clipped.join(QStringLiteral("; ")))));
            }
            QTest::mouseClick(child(w, "nextMode"), Qt::LeftButton);
        }
        // A long run's progress is read whole: its time left wraps to a second line.
        const auto tr = [](const char *text) { return QCoreApplication::translate("CutterJobs", text); };
        const QString sheet = tr("Sheet %1 of %2: %3").arg(128).arg(250).arg(tr("cutting..."));
        auto *state = qobject_cast<ElidedLabel *>(child(w, "stateText"));
        state->setText(tr("%1 (%2 so far, about %3 left)")
                           .arg(sheet, durationText(3600 * 1000 + 59 * 60 * 1000), durationText(9 * 3600 * 1000)));
        QCoreApplication::processEvents();
        QVERIFY2(!state->isElided(), qPrintable(QStringLiteral("%1: %2").arg(language, state->text())));
        state->setText(longState + longState);
        QVERIFY(state->isElided());
    }
    MainWidget::setLanguageOverride(QString());
}


QTEST_MAIN(TestWindowSize)
#include "tst_windowsize.moc"
