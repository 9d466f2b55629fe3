// jobshot: the main window in the middle of a job, as a PNG. Starts the
// window with the config.ini it is given, presses Start, waits until the
// state line matches a pattern, and saves the window. The cutter is whatever
// the config names: run it under `cutter-sim --usb --` for the simulated one.
//
//   jobshot CONFIG.INI PATTERN OUT.PNG [SECONDS [COUNT]]
// COUNT: the auto-feed modes' sheets to cut (the window does not store it).
#include "mainwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTextStream>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "usage: jobshot CONFIG.INI PATTERN OUT.PNG [SECONDS [COUNT]]\n";
        return 2;
    }
    MainWidget::setSettingsPathOverride(args.at(1));
    const QRegularExpression pattern(args.at(2));
    const QString out = args.at(3);
    const int limitMs = (args.size() > 4 ? args.at(4).toInt() : 60) * 1000;

    MainWidget window;
    if (args.size() > 5)
        window.findChild<QSpinBox *>(QStringLiteral("count"))->setValue(args.at(5).toInt());
    window.show();
    auto *state = window.findChild<QLabel *>(QStringLiteral("stateText"));
    QElapsedTimer clock;
    clock.start();
    int status = 1;
    QTimer watch;
    watch.callOnTimeout([&] {
        if (pattern.match(state->text()).hasMatch()) {
            status = window.grab().save(out) ? 0 : 1;
            QTextStream(stderr) << "jobshot: " << state->text() << "\n";
        } else if (!clock.hasExpired(limitMs)) {
            return;
        } else {
            QTextStream(stderr) << "jobshot: the state line never matched; it reads: " << state->text() << "\n";
        }
        watch.stop();
        app.exit(status); // the window lets the job go as it is destroyed
    });
    QTimer::singleShot(1000, &window, [&] {
        window.findChild<QPushButton *>(QStringLiteral("startBtn"))->click();
        watch.start(100);
    });
    return app.exec();
}
