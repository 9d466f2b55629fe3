// Runs the real cutterdesk on a private Xvfb display, closes its window the
// way a window manager does (WM_DELETE_WINDOW) and checks how it ends; and
// its help and version, which need no display.
#include "version.h"

#include <QtTest>
#include <xcb/xcb.h>

template <typename T> using XcbReply = QScopedPointer<T, QScopedPointerPodDeleter>;

class TestCutterdeskRun : public QObject
{
    Q_OBJECT
private slots:
    void closingTheWindowSavesAndExitsZero();
    void helpAndVersionWithoutDisplay();
};

void TestCutterdeskRun::closingTheWindowSavesAndExitsZero()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    QVERIFY2(!xvfb.isEmpty(), "Xvfb not found (scripts/deps installs it)");
    QProcess server;
    // -displayfd 1: the server picks a free display and prints its number.
    server.start(xvfb, QString("-displayfd 1 -screen 0 1280x1024x24 -nolisten tcp").split(' '));
    const auto stopServer = qScopeGuard([&] {
        server.terminate();
        server.waitForFinished(5000);
    });
    QVERIFY(server.waitForStarted());
    QByteArray number;
    QDeadlineTimer timer(10000);
    while (!number.endsWith('\n') && !timer.hasExpired() && server.state() == QProcess::Running) {
        server.waitForReadyRead(100);
        number += server.readAllStandardOutput();
    }
    QVERIFY2(number.endsWith('\n'), server.readAllStandardError().constData());
    const QByteArray display = ':' + number.trimmed();
    qputenv("DISPLAY", display); // for the program started below
    qputenv("QT_QPA_PLATFORM", "xcb");

    // A copy of the program in its own directory, so config.ini is written
    // beside it there; the build's absolute run path still finds its libraries.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("cutterdesk"));
    QVERIFY(QFile::copy(QStringLiteral(CUTTERDESK_BINARY_DIR "/app/cutterdesk"), program));
    const QString config = dir.filePath(QStringLiteral("config.ini"));
    QSettings(config, QSettings::IniFormat).setValue(QStringLiteral("KLOM/WorkIndex"), 9);
    QSettings(config, QSettings::IniFormat).setValue(QStringLiteral("KLOM/filePath"), "/old/kept.plt");
    const QString plot = dir.filePath(QStringLiteral("jobs/box.plt"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("jobs"))));
    QVERIFY(QFile::copy(QStringLiteral(CUTTERDESK_TEST_DATA "/plot/box.plt"), plot));

    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    QVERIFY(!xcb_connection_has_error(c));
    const auto closer = qScopeGuard([c] { xcb_disconnect(c); });
    const auto atom = [c](const char *name) {
        const XcbReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    // Only the program runs on this display and no window manager reparents:
    // the first top-level window mapped is its main window.
    const uint32_t substructure = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root,
                                 XCB_CW_EVENT_MASK, &substructure);
    xcb_flush(c);

    QProcess app;
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.setWorkingDirectory(dir.filePath(QStringLiteral("jobs")));
    // The file as a file manager's %f would name it, but relative.
    app.start(program, {QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("./box.plt")});
    QVERIFY(app.waitForStarted());
    xcb_window_t window = XCB_WINDOW_NONE;
    timer.setRemainingTime(30000);
    while (window == XCB_WINDOW_NONE && !timer.hasExpired() && app.state() == QProcess::Running) {
        const XcbReply<xcb_generic_event_t> e(xcb_poll_for_event(c));
        const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(e.data());
        if (e && (e->response_type & 0x7f) == XCB_MAP_NOTIFY && !map->override_redirect)
            window = map->window;
        else if (!e)
            QThread::msleep(20);
    }
    QVERIFY2(window != XCB_WINDOW_NONE, app.readAll().constData());
    // --lang en: the English title, whatever config.ini or the system say.
    const XcbReply<xcb_get_property_reply_t> title(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 64), nullptr));
    QVERIFY(title);
    const auto *name = static_cast<const char *>(xcb_get_property_value(title.data()));
    QCOMPARE(QString::fromUtf8(name, xcb_get_property_value_length(title.data())), QStringLiteral("Torvane"));

    xcb_client_message_event_t event{XCB_CLIENT_MESSAGE, 32, 0, window, atom("WM_PROTOCOLS"), {}};
    event.data.data32[0] = atom("WM_DELETE_WINDOW"); // at XCB_CURRENT_TIME, 0
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(c);

    QVERIFY2(app.waitForFinished(30000), "the program did not end after its window was closed");
    QVERIFY2(app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0, app.readAll().constData());

    // Saved beside the program, from what was loaded there.
    const QSettings saved(config, QSettings::IniFormat);
    QCOMPARE(saved.value(QStringLiteral("UI/language")).toString(), QStringLiteral("auto")); // --lang is not kept
    QCOMPARE(saved.value(QStringLiteral("KLOM/WorkIndex")).toInt(), 9);
    QCOMPARE(saved.value(QStringLiteral("KLOM/filePath")).toString(), plot); // the file named, resolved
}

void TestCutterdeskRun::helpAndVersionWithoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // would abort without a display
    const auto run = [&](const QString &option) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/app/cutterdesk"), {option});
        const bool ended = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        return ended ? QString::fromLocal8Bit(p.readAllStandardOutput()) : QString();
    };
    QCOMPARE(run(QStringLiteral("--version")), QStringLiteral("cutterdesk %1\n").arg(cutterdeskVersion()));
    const QString help = run(QStringLiteral("--help"));
    for (const char *listed : {"[options] [FILE]", "--help", "--version", "--lang <zh|en>"})
        QVERIFY2(help.contains(QLatin1String(listed)), qPrintable(help));
}

QTEST_GUILESS_MAIN(TestCutterdeskRun)
#include "tst_cutterdeskrun.moc"
