// Runs the real cutterdesk on a private Xvfb display, closes its window the
// way a window manager does (WM_DELETE_WINDOW) and checks how it ends.
#include <QtTest>
#include <xcb/xcb.h>

#include <cstring>
#include <memory>

namespace {

struct XcbFree
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, XcbFree>;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    XcbReply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A mapped top-level window whose WM_CLASS names the program.
xcb_window_t findProgramWindow(xcb_connection_t *c, xcb_window_t root)
{
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> attr(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr));
        if (!attr || attr->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        XcbReply<xcb_get_property_reply_t> cls(xcb_get_property_reply(
            c, xcb_get_property(c, 0, children[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr));
        if (!cls)
            continue;
        const QByteArray value(static_cast<const char *>(xcb_get_property_value(cls.get())),
                               xcb_get_property_value_length(cls.get()));
        if (value.split('\0').contains("cutterdesk"))
            return children[i];
    }
    return XCB_WINDOW_NONE;
}

} // namespace

class TestCutterdeskRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void closingTheWindowSavesAndExitsZero();

private:
    QProcess xserver;
    QString display;
};

void TestCutterdeskRun::initTestCase()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    QVERIFY2(!xvfb.isEmpty(), "Xvfb not found (scripts/deps installs it)");
    // -displayfd 1: the server picks a free display and prints its number.
    xserver.start(xvfb, QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    QVERIFY(xserver.waitForStarted());
    QByteArray number;
    QDeadlineTimer deadline(10000);
    while (!number.endsWith('\n') && !deadline.hasExpired() && xserver.state() == QProcess::Running) {
        xserver.waitForReadyRead(100);
        number += xserver.readAllStandardOutput();
    }
    QVERIFY2(number.endsWith('\n'), xserver.readAllStandardError().constData());
    display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
}

void TestCutterdeskRun::cleanupTestCase()
{
    if (xserver.state() != QProcess::NotRunning) {
        xserver.terminate();
        xserver.waitForFinished(5000);
    }
}

void TestCutterdeskRun::closingTheWindowSavesAndExitsZero()
{
    // A copy of the program in its own directory, so config.ini is written
    // beside it there; the build's absolute run path still finds its libraries.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("cutterdesk"));
    QVERIFY(QFile::copy(QStringLiteral(CUTTERDESK_BINARY_DIR "/app/cutterdesk"), program));
    const QString config = dir.filePath(QStringLiteral("config.ini"));
    {
        QSettings stored(config, QSettings::IniFormat);
        stored.setValue(QStringLiteral("WCAM/ssid"), QStringLiteral("Workshop"));
        stored.setValue(QStringLiteral("KLOM/WorkIndex"), 9);
        stored.setValue(QStringLiteral("KLOM/ejectDist"), 1234);
        stored.setValue(QStringLiteral("KLOM/deviceIP"), QStringLiteral("10.1.2.3"));
    }

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display);
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(program, QStringList());
    QVERIFY(app.waitForStarted());

    xcb_connection_t *c = xcb_connect(display.toLatin1().constData(), nullptr);
    QVERIFY(!xcb_connection_has_error(c));
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> closer(c, xcb_disconnect);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_window_t window = XCB_WINDOW_NONE;
    QDeadlineTimer deadline(30000);
    while (window == XCB_WINDOW_NONE && !deadline.hasExpired() && app.state() == QProcess::Running) {
        window = findProgramWindow(c, root);
        if (window == XCB_WINDOW_NONE)
            QThread::msleep(50);
    }
    QVERIFY2(window != XCB_WINDOW_NONE, app.readAll().constData());

    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(c);

    QVERIFY2(app.waitForFinished(30000), "the program did not end after its window was closed");
    const QByteArray output = app.readAll();
    QVERIFY2(app.exitStatus() == QProcess::NormalExit, output.constData());
    QVERIFY2(app.exitCode() == 0, output.constData());

    QSettings saved(config, QSettings::IniFormat);
    QCOMPARE(saved.allKeys().size(), 20);
    QCOMPARE(saved.value(QStringLiteral("KLOM/WorkIndex")).toInt(), 9);
    QCOMPARE(saved.value(QStringLiteral("KLOM/ejectDist")).toInt(), 1234);
    QCOMPARE(saved.value(QStringLiteral("KLOM/deviceIP")).toString(), QStringLiteral("10.1.2.3"));
    QCOMPARE(saved.value(QStringLiteral("WCAM/ssid")).toString(), QStringLiteral("Workshop"));
}

QTEST_GUILESS_MAIN(TestCutterdeskRun)
#include "tst_cutterdeskrun.moc"
