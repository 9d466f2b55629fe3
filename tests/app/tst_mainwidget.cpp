// The main window: start sequence, work modes, matrix options, translation,
// loading and saving config.ini (a temporary one, never a real one), the
// ways a plot file comes in: command line, file dialog, drops; an auto-feed
// run over the USB link and the trigger keys of the matrix jobs. The
// simulated cutter sits behind a mocked udev node (run under umockdev-wrapper).
#include "../link/mockusb.h" // first: before any Qt header

#include "commandline.h"
#include "cuttersession.h"
#include "lineview.h"
#include "mainwidget.h"
#include "release.h"
#include "settingspath.h"
#include "simserver.h"
#include "triggerkeys.h"
#include "version.h"
#include "workmodes.h"

#include <QtTest>
#include <QtWidgets>

namespace {
// The controls a running job locks; Start stays usable as Stop.
const char *const kLocked[] = {"connectBtn", "devType", "prevMode", "nextMode", "filePath", "setFilePath"};

bool allEnabled(const QWidget &window, bool enabled)
{
    for (const char *name : kLocked)
        if (window.findChild<QWidget *>(name)->isEnabled() != enabled)
            return false;
    return true;
}
} // namespace

class TestMainWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MainWidget::setSettingsPathOverride(config); }
    void init() { QFile::remove(config); }
    void languageChoice();
    void modeButtonsAndVisibility();
    void storedFields();
    void storedChoices();
    void resultLineSaysWhy();
    void demoConfigHoldsEveryKey();
    void commandLine();
    void plotFileFromCommandLine();
    void fileDialogFolderAndFilters();
    void plotFileDroppedAnywhere();
    void autoFeedRunCountsDownUntilCancel();
    void triggerKeys_data();
    void triggerKeys();

private:
    template <typename T = QWidget> static T *child(QWidget &w, const char *name)
    {
        T *found = w.findChild<T *>(QLatin1String(name));
        return found ? found : (qFatal("no widget %s", name), nullptr);
    }
    static bool shown(QWidget &w, const char *name) { return child(w, name)->isVisibleTo(&w); }
    // The user property of a form field: text, value or checked.
    static QVariant field(QWidget &w, const char *name)
    {
        QWidget *c = child(w, name);
        return c->metaObject()->userProperty().read(c);
    }
    static bool writeFile(const QString &path, const QByteArray &text)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    }

    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("config.ini"));
};

// --lang wins over UI/language, which wins over the system's languages; an
// unknown choice is auto; auto speaks Chinese only to a Chinese system. In
// either language the window opens at 1024 x 768 with its title, version,
// job states, auto-feed titles and Qt's own texts in that language.
void TestMainWidget::languageChoice()
{
    QCOMPARE(MainWidget::uiLanguage("zh", {"en-US"}), QStringLiteral("zh"));
    QCOMPARE(MainWidget::uiLanguage("en", {"zh-CN"}), QStringLiteral("en"));
    QCOMPARE(MainWidget::uiLanguage("auto", {"zh-Hans-CN", "en"}), QStringLiteral("zh"));
    QCOMPARE(MainWidget::uiLanguage("auto", {"de-DE", "zh-CN"}), QStringLiteral("en"));
    QCOMPARE(MainWidget::uiLanguage("fr", {}), QStringLiteral("en"));
    QVERIFY(writeFile(config, "[UI]\nlanguage=zh\n"));
    for (const char *override : {"", "en"}) {
        MainWidget::setLanguageOverride(QString::fromLatin1(override));
        MainWidget w;
        const bool zh = !*override;
        QCOMPARE(w.language(), zh ? QStringLiteral("zh") : QStringLiteral("en"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(1024, 768)); // the form's minimum fits, nothing forces it larger
        QCOMPARE(w.windowTitle(), zh ? QStringLiteral("Torvane 平板切割机") : QStringLiteral("Torvane"));
        // The version beside the release date.
        const QString version = child<QLabel>(w, "versionLB")->text();
        QVERIFY2(version.startsWith((zh ? QStringLiteral("版本 ") : QStringLiteral("Version "))
                                    + QLatin1String(cutterdeskVersion()) + "&nbsp;"), qPrintable(version));
        QVERIFY2(version.contains(QRegularExpression(">Release Date:20\\d{6}</a>$")), qPrintable(version));
        // The job states come from the procedures and the auto-feed titles from the table.
        QCOMPARE(QCoreApplication::translate("CutterJobs", "Waiting for the cutter..."),
                 zh ? QStringLiteral("正在等待切割机...") : QStringLiteral("Waiting for the cutter..."));
        QCOMPARE(w.modeNames.at(6).startsWith(QStringLiteral("自动送纸")), zh);
        // Qt's own texts (the buttons of the message boxes) follow.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 zh ? QStringLiteral("取消") : QStringLiteral("Cancel"));
        w.saveSettings(); // the override is not stored
    }
    MainWidget::setLanguageOverride(QString());
    QCOMPARE(QSettings(config, QSettings::IniFormat).value("UI/language").toString(), QStringLiteral("zh"));
    // The release date from the compiler's __DATE__.
    const QPair<const char *, const char *> rows[] = {
        {"Apr  3 2021", "20210403"}, {"Dec 31 1999", "19991231"}, {"Foo 12 2021", ""}, {"Feb 30 2021", ""}, {"", ""}};
    for (const auto &row : rows)
        QCOMPARE(releaseDateStamp(QLatin1String(row.first)), QLatin1String(row.second));
}

void TestMainWidget::modeButtonsAndVisibility()
{
    MainWidget w;
    QTest::mouseClick(child(w, "prevMode"), Qt::LeftButton); // no wrap-around to 11
    for (int i = 0; i < 13; ++i) {
        const int index = qMin(i, 11); // nor from 11 to 0
        const WorkMode &mode = kWorkModes.at(size_t(index));
        QCOMPARE(w.workIndex, index);
        QCOMPARE(child<QLabel>(w, "mode")->toolTip(), w.modeTips.at(index));
        QCOMPARE(shown(w, "MatGrp"), mode.showsMatrix);
        QCOMPARE(shown(w, "FeedGrp"), mode.showsFeed);
        QCOMPARE(shown(w, "count"), mode.showsFeed);
        // Before the first auto-feed mode the hidden group's fields are as the form has them.
        for (const char *name : {"ejectDistLB", "ejectDist", "ejectDistmm"})
            QCOMPARE(!child(w, name)->isHidden(), mode.showsEject || !mode.showsFeed);
        QCOMPARE(!child(w, "smartScan")->isHidden(), mode.showsSmartScan || !mode.showsFeed);
        QTest::mouseClick(child(w, "nextMode"), Qt::LeftButton);
    }
}

// Each stored field: in the form, after a round trip, from a file holding only
// the Wi-Fi name and a number that is not one (the other fields keep the
// form's values, the number is said). config.ini holds the Wi-Fi pass phrase: a new file is made
// readable and writable by its owner only, an existing wider one is narrowed.
void TestMainWidget::storedFields()
{
    // Qt adds the "User" bits for the calling user; the file's mode is the rest.
    const auto ownerOnly = [&] {
        const QFileDevice::Permissions user = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
        return (QFile(config).permissions() & ~user) == (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    };
    enum { Form, Saved };
    const QString none;
    const struct { const char *name; QVariant values[2]; } fields[] = {
        {"ssid", {"V6", "Shop floor"}}, {"passwd", {"58201946", "p=a;s#s"}},
        {"ipAddr", {"192.168.137.137", "10.0.0.50"}}, {"devType", {"USB", "RJ45"}},
        {"deviceIP", {"192.168.0.100", "172.16.4.20"}}, {"filePath", {none, "/home/操作员/jobs/box; v2.plt"}},
        {"knifeOffsetChx", {false, true}}, {"knifeOffset", {0.3, 1.2}},
        {"closeOffsetChx", {false, true}}, {"closeOffset", {0.5, 2.5}},
        {"matOne", {true, false}}, {"matFour", {false, true}}, {"matSpH", {15.0, 12.34}}, {"matSpV", {15.0, 56.78}},
        {"feedDist", {710, 650}}, {"offsetArg", {0, -42}}, {"ejectDist", {800, 1234}},
        {"smartScan", {false, true}}, {"cutOrder", {false, true}}, {"matrixPlaces", {false, true}},
    };
    {
        static QStringList messages;
        const QtMessageHandler before = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
        MainWidget w; // no file: the form as it is, and nothing written
        qInstallMessageHandler(before);
        // No warning about slots the form could not connect by name.
        QVERIFY2(messages.filter(QStringLiteral("connectSlotsByName")).isEmpty(), qPrintable(messages.join('\n')));
        for (const auto &f : fields)
            QVERIFY2(field(w, f.name) == f.values[Form], f.name);
        QVERIFY(!QFile::exists(config));
        w.workIndex = 7;
        for (const auto &f : fields) {
            QWidget *c = child(w, f.name);
            QVERIFY(c->metaObject()->userProperty().write(c, f.values[Saved]));
        }
        w.saveSettings();
    }
    QVERIFY(ownerOnly());
    QVERIFY(QFile::setPermissions(config, QFile(config).permissions() | QFile::ReadGroup | QFile::ReadOther));
    {
        MainWidget w;
        for (const auto &f : fields)
            QVERIFY2(field(w, f.name) == f.values[Saved], f.name);
        QCOMPARE(w.workIndex, 7);
        QVERIFY(shown(w, "deviceIP")); // for RJ45, although the start sequence hid it first
        child<QLineEdit>(w, "deviceIP")->setText(QStringLiteral("10.0.0")); // invalid: not saved
        w.saveSettings();
    }
    QVERIFY(ownerOnly());
    const QVariant deviceIP = QSettings(config, QSettings::IniFormat).value("KLOM/deviceIP");
    QCOMPARE(deviceIP.toString(), QStringLiteral("172.16.4.20"));
    QVERIFY(writeFile(config, "[WCAM]\nssid=Workshop\n[KLOM]\nfeedDist=650mm\n"));
    MainWidget w;
    for (const auto &f : fields)
        QVERIFY2(field(w, f.name) == (qstrcmp(f.name, "ssid") ? f.values[Form] : "Workshop"), f.name);
    QVERIFY(child<QLabel>(w, "resultText")->text().endsWith(
        MainWidget::tr("Settings: ignored %1 in %2 (not a number)").arg("KLOM/feedDist=650mm", config)));
    w.saveSettings(); // the form's, not 0
    QCOMPARE(QSettings(config, QSettings::IniFormat).value("KLOM/ejectDist").toInt(), 800);
    // A save that fails (below a regular file: even root cannot) is said in a box naming the file.
    const QString unwritable = config + QStringLiteral("/config.ini");
    MainWidget::setSettingsPathOverride(unwritable);
    const auto back = qScopeGuard([&] { MainWidget::setSettingsPathOverride(config); });
    QString said;
    QTimer poll;
    poll.callOnTimeout([&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            said = box->text(), box->button(QMessageBox::Ok)->click();
    });
    poll.start(20);
    w.saveSettings();
    QVERIFY2(said.contains(unwritable), qPrintable(said));
    // The file beside the program, or in the user's config folder where the
    // program's cannot be written.
    const QString user = dir.filePath(QStringLiteral("user"));
    QCOMPARE(settingsFileFor(dir.path(), user), config);
    QCOMPARE(settingsFileFor(dir.filePath(QStringLiteral("missing")), user), user + QStringLiteral("/config.ini"));
}

void TestMainWidget::storedChoices()
{
    // The mode, and the matrix radio checked (without matrix keys the form's
    // stays), with the spacings it shows.
    const struct { const char *keys; int mode; const char *radio; } rows[] = {
        {"WorkIndex=11", 11, "matOne"},
        {"WorkIndex=12", 0, "matOne"}, // past the table
        {"WorkIndex=-1", 0, "matOne"},
        {"matOne=false\nmatTwo=true", 0, "matTwo"},
        {"matOne=true\nmatTwo=true\nmatFour=true", 0, "matFour"}, // the later key wins
    };
    for (const auto &row : rows) {
        QVERIFY(writeFile(config, QByteArray("[KLOM]\n") + row.keys + "\n"));
        MainWidget w;
        QCOMPARE(w.workIndex, row.mode);
        QCOMPARE(child<QLabel>(w, "mode")->toolTip(), w.modeTips.at(row.mode));
        for (const char *name : {"matOne", "matTwo", "matFour"})
            QCOMPARE(field(w, name).toBool(), !qstrcmp(row.radio, name));
        QCOMPARE(child(w, "matSpHLB")->isHidden(), !qstrcmp(row.radio, "matOne"));
        QCOMPARE(child(w, "matSpVmm")->isHidden(), qstrcmp(row.radio, "matFour") != 0);
        QTest::mouseClick(child(w, "matTwo"), Qt::LeftButton); // horizontal spacing only
        QVERIFY(!child(w, "matSpH")->isHidden() && child(w, "matSpV")->isHidden());
    }
}

// What a chosen plot file holds, and an action refused for a reason, stay
// said on the result line; a refused set-up leaves Connect as the link allows.
void TestMainWidget::resultLineSaysWhy()
{
    MainWidget w;
    auto *result = child<QLabel>(w, "resultText");
    const QString plot = dir.filePath(QStringLiteral("box.plt"));
    QVERIFY(writeFile(plot, "MD0,0,4000,2000,3;\nSP1;PU0,0;PD100,0;\nSP2;PU0,0;PD0,100;PU10,10;PD20,20;\n!PG;\n"));
    child<QLineEdit>(w, "filePath")->setText(plot);
    QTRY_VERIFY(result->text().endsWith(
        MainWidget::tr("%1: %2 paths, %3 × %4 mm").arg(QStringLiteral("box.plt")).arg(3).arg(100).arg(50)));
    QVERIFY(writeFile(plot, "MD0,0,4000,2000,3;\nSP2\nPU0,0;PD100,0;\n!PG;\n")); // "SP2" without its ";": nothing to cut
    child<QLineEdit>(w, "filePath")->setText(plot + QLatin1Char(' ')); // read anew
    child<QLineEdit>(w, "filePath")->setText(plot);
    QTRY_VERIFY(result->text().endsWith(MainWidget::tr("%1 holds no crease or cut lines: it cannot be cut").arg("box.plt")));
    child<QLineEdit>(w, "ssid")->clear();
    child<QComboBox>(w, "devType")->setCurrentText(QStringLiteral("RJ45")); // Connect is usable
    QTest::mouseClick(child(w, "connectBtn"), Qt::LeftButton);
    QVERIFY(result->text().endsWith(MainWidget::tr("Camera set-up: the Wi-Fi name is empty")));
    // A file past the size cap (sparse, so it takes no disk) is not read: said, by Start too.
    QFile huge(dir.filePath(QStringLiteral("huge.plt")));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(1536LL << 20));
    huge.close();
    child<QLineEdit>(w, "filePath")->setText(huge.fileName());
    QTRY_VERIFY(result->text().endsWith(
        MainWidget::tr("%1 is too large to be a plot file (%2 MB).").arg("huge.plt").arg(1536)));
    QTest::mouseClick(child(w, "startBtn"), Qt::LeftButton); // mode 0 over RJ45: the file is checked first
    QTRY_VERIFY(result->text().endsWith(QCoreApplication::translate(
        "CutterJobs", "Not started: %1 is too large to be a plot file (%2 MB)").arg("huge.plt").arg(1536)));
    // A set-up over USB ending with no cutter listed leaves Connect unusable.
    child<QComboBox>(w, "devType")->setCurrentText(QStringLiteral("USB"));
    auto *session = w.findChild<CutterSession *>();
    QSignalSpy over(session, &CutterSession::finished);
    QVERIFY(session->cameraSetup(JobLink::Usb, QStringLiteral("V6"), QString()) && over.wait(5000));
    QVERIFY(!child(w, "connectBtn")->isEnabled());
}

// The demo's config.ini (scripts/run) gives every key the program stores, so
// no field of the demo reads as 0 (a 0 mm feed or eject move).
void TestMainWidget::demoConfigHoldsEveryKey()
{
    MainWidget().saveSettings();
    const QStringList stored = QSettings(config, QSettings::IniFormat).allKeys();
    QCOMPARE(stored.size(), 23); // the 22 form fields and the language
    QFile script(QStringLiteral(CUTTERDESK_SOURCE_DIR "/scripts/run"));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QByteArray text = script.readAll();
    const int start = text.indexOf("<<INI\n") + 6, end = text.indexOf("\nINI\n", start) + 1;
    const QString demo = dir.filePath(QStringLiteral("demo.ini"));
    QVERIFY(start > 6 && end > start && writeFile(demo, text.mid(start, end - start)));
    const QSettings demoSettings(demo, QSettings::IniFormat);
    const QSettings defaults(config, QSettings::IniFormat);
    // The demo's own choices: the simulators' address, the sample file, small gaps.
    const QStringList chosen{"WCAM/ipAddr", "KLOM/devType", "KLOM/deviceIP", "KLOM/filePath",
                             "KLOM/matSpH", "KLOM/matSpV"};
    for (const QString &key : stored) {
        QVERIFY2(demoSettings.contains(key), qPrintable(key));
        if (!chosen.contains(key))
            QVERIFY2(demoSettings.value(key).toString() == defaults.value(key).toString(), qPrintable(key));
    }
}

void TestMainWidget::commandLine()
{
    const QString work = QStringLiteral("/home/op/jobs");
    const struct { QStringList args; const char *file; bool error; const char *language = ""; } rows[] = {
        {{}, "", false}, {{"box.plt"}, "/home/op/jobs/box.plt", false},
        {{"../old/./box.plt"}, "/home/op/old/box.plt", false}, {{"/srv/box.plt"}, "/srv/box.plt", false},
        {{"--", "-dash.plt"}, "/home/op/jobs/-dash.plt", false},
        {{"--lang", "en", "box.plt"}, "/home/op/jobs/box.plt", false, "en"},
        {{"--lang=zh"}, "", false, "zh"},
        {{"--lang", "fr", "box.plt"}, "", true, "fr"},
        {{"a.plt", "b.plt"}, "", true}, {{"--bogus", "a.plt"}, "", true},
    };
    for (const auto &row : rows) {
        const CommandLine line = readCommandLine(QStringList{"cutterdesk"} + row.args, work);
        QCOMPARE(line.plotFile, QLatin1String(row.file));
        if (!QByteArray(row.language).isEmpty() || !row.error)
            QCOMPARE(line.language, QLatin1String(row.language));
        QVERIFY2(line.error.isEmpty() != row.error, qPrintable(row.args.join(' ')));
    }
    // Help and version are answered before a display is needed.
    const QPair<QStringList, bool> text[] = {
        {{"--version"}, true}, {{"box.plt", "-h"}, true}, {{"--help-all"}, true},
        {{"box.plt"}, false}, {{"--", "--help"}, false}, {{}, false}};
    for (const auto &[args, only] : text)
        QVERIFY2(asksForTextOnly(QStringList{"cutterdesk"} + args) == only, qPrintable(args.join(' ')));
}

// The named file is taken whatever its state (Start then fails rather than
// cutting the previous file); one that cannot be read is said and logged.
void TestMainWidget::plotFileFromCommandLine()
{
    MainWidget::setLanguageOverride(QStringLiteral("zh")); // the texts checked are the translated ones
    const auto anyLanguage = qScopeGuard([] { MainWidget::setLanguageOverride(QString()); });
    const QString box = QStringLiteral(CUTTERDESK_TEST_DATA "/plot/box.plt");
    const QString missing = dir.filePath(QStringLiteral("missing.plt"));
    const QString locked = dir.filePath(QStringLiteral("locked.plt"));
    QVERIFY(QFile::copy(box, locked) && QFile::setPermissions(locked, QFileDevice::WriteOwner));
    const bool root = QFileInfo(locked).isReadable(); // root reads it all the same
    const QString idle = QStringLiteral("空闲");
    const struct { QString path; QString state; } rows[] = {
        {box, idle},
        {missing, QStringLiteral("绘图文件 missing.plt 不存在。")},
        {dir.path(), QFileInfo(dir.path()).fileName() + QStringLiteral(" 是文件夹，不是绘图文件。")},
        {"/dev/null", QStringLiteral("null 不是普通文件，不是绘图文件。")}, // a device, as a pipe would be
        {locked, root ? idle : QStringLiteral("无法读取绘图文件 locked.plt。")},
    };
    for (const auto &row : rows) {
        MainWidget w;
        if (row.state != idle)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open the plot file "
                                 + QRegularExpression::escape(row.path) + " named on the command line: "));
        w.openPlotFile(row.path);
        QCOMPARE(field(w, "filePath").toString(), row.path);
        QCOMPARE(child<QLabel>(w, "stateText")->text(), idle);
        const QString result = child<QLabel>(w, "resultText")->text(); // "HH:mm " and the reason
        QVERIFY2(row.state == idle ? result.isEmpty() : result.endsWith(row.state), qPrintable(result));
        QCOMPARE(child<LineView>(w, "lineView")->paths.isEmpty(), row.state != idle);
    }
}

// The folder of the current plot file, else the documents folder, else home;
// plot files first, then all files.
void TestMainWidget::fileDialogFolderAndFilters()
{
    MainWidget::setLanguageOverride(QStringLiteral("zh")); // the texts checked are the translated ones
    const auto anyLanguage = qScopeGuard([] { MainWidget::setLanguageOverride(QString()); });
    const QByteArray home = qgetenv("HOME"), xdgConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] { qputenv("HOME", home), qputenv("XDG_CONFIG_HOME", xdgConfig); });
    QTemporaryDir user;
    qputenv("HOME", user.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", user.filePath(QStringLiteral("config")).toUtf8()); // no user-dirs.dirs
    QVERIFY(QDir().mkpath(user.filePath(QStringLiteral("jobs"))));
    const QString documents = user.filePath(QStringLiteral("Documents"));
    MainWidget w;
    QStringList filters;
    const auto openedIn = [&](const QString &plotFile) {
        child<QLineEdit>(w, "filePath")->setText(plotFile);
        QString folder;
        QTimer poll;
        poll.callOnTimeout([&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                folder = dialog->directory().absolutePath(), filters = dialog->nameFilters();
                dialog->reject();
            }
        });
        poll.start(20);
        QTest::mouseClick(child(w, "setFilePath"), Qt::LeftButton);
        return folder;
    };
    QCOMPARE(openedIn(user.filePath(QStringLiteral("jobs/box.plt"))), user.filePath("jobs"));
    QCOMPARE(filters, (QStringList{"绘图文件 (*.plt *.hpgl *.hpg)", "所有文件 (*)"}));
    QCOMPARE(field(w, "filePath").toString(), user.filePath("jobs/box.plt")); // kept on Cancel
    QCOMPARE(openedIn(user.filePath(QStringLiteral("gone/box.plt"))), user.path());
    QVERIFY(QDir().mkpath(documents));
    QCOMPARE(openedIn(user.filePath(QStringLiteral("gone/box.plt"))), documents);
    QCOMPARE(openedIn(QString()), documents);
}

// A plot file dropped on any part of the window, the path field too, lands
// in the path field, also over fields that take dropped text; not while a
// job holds the field. Local paths or URLs with a scheme, the first one
// only; ".plt" may stand anywhere but must be lower case.
void TestMainWidget::plotFileDroppedAnywhere()
{
    MainWidget w;
    auto *path = child<QLineEdit>(w, "filePath");
    auto *ssid = child<QLineEdit>(w, "ssid");
    QWidget *spinText = child(w, "knifeOffset")->findChild<QLineEdit *>();
    QWidget *lines = child(w, "lineView"); // takes no drops itself
    QVERIFY(spinText);
    const QString plot = QStringLiteral(CUTTERDESK_TEST_DATA "/plot/box.plt");
    const struct { QWidget *target; QStringList urls; bool jobRunning; QString taken; } rows[] = {
        {lines, {plot}, false, plot}, {&w, {plot}, false, plot}, {ssid, {plot}, false, plot},
        {spinText, {plot}, false, plot}, {path, {plot, "/b.plt"}, false, plot},
        {path, {"/old.plt/notes.txt"}, false, "/old.plt/notes.txt"}, {path, {"/jobs/BOX.PLT"}, false, ""},
        {path, {"/a.svg", "/b.plt"}, false, ""}, {path, {"https://example.org/box.plt"}, false, ""},
        {path, {}, false, ""}, {lines, {"/notes.txt"}, false, ""}, {lines, {plot}, true, ""}, {ssid, {plot}, true, ""},
    };
    for (const auto &row : rows) {
        path->setText(QStringLiteral("/old/kept.plt"));
        path->setEnabled(!row.jobRunning);
        ssid->setText(QStringLiteral("V6"));
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &u : row.urls)
            urls << (u.startsWith('/') ? QUrl::fromLocalFile(u) : QUrl(u));
        mime.setUrls(urls);
        mime.setText(QStringLiteral("/dropped/as/text.plt")); // as file managers add it: text fields would insert it
        QDragEnterEvent enter({2, 2}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row.target, &enter);
        QCOMPARE(enter.isAccepted(), !row.taken.isEmpty());
        if (enter.isAccepted()) { // the path replaces the whole text
            QDragMoveEvent move({3, 3}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(row.target, &move);
            QVERIFY(move.isAccepted());
            QDropEvent drop({3, 3}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(row.target, &drop);
        }
        QCOMPARE(path->text(), row.taken.isEmpty() ? QStringLiteral("/old/kept.plt") : row.taken);
        QCOMPARE(child<LineView>(w, "lineView")->paths.isEmpty(), row.taken != plot); // previewed
        QCOMPARE(ssid->text(), QStringLiteral("V6"));
        QCOMPARE(field(w, "knifeOffset").toDouble(), 0.3);
    }
}

// Mode 6 with the link type RJ45 (auto-feed ignores it). First another
// program holds the cutter's node: the state line says why instead of
// "Idle..." (that the link sends nothing and ends at once is tst_link's).
// Then two sheets to cut and one in the container: the first is cut, the
// paper check of the second raises the box, and Cancel ends the job (what is
// sent around the box is tst_jobs' "6, Cancel ends").
void TestMainWidget::autoFeedRunCountsDownUntilCancel()
{
    MockUsb bed;
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
    QStandardPaths::setTestModeEnabled(true); // the run log goes to a test folder
    const auto normalPaths = qScopeGuard([] { QStandardPaths::setTestModeEnabled(false); });
    const QString plot = dir.filePath("autofeed.plt");
    QVERIFY(writeFile(plot, "MD0,0,4000,3000,3;\nSP2;\nPU400,400;PD3600,400,3600,2600;\n!PG;\n"));
    QVERIFY(writeFile(config, "[KLOM]\nWorkIndex=6\ndevType=RJ45\nfilePath=" + plot.toUtf8() + "\n"));
    CutterSimServer sim;
    sim.cutter().config().busyMs = 0;
    sim.cutter().config().sheets = 1;
    const QString node = sim.openUsbNode();
    bed.plug("1-2", "lp0", 0, node);
    MainWidget window;
    window.feedIntervalSecs = 0;
    auto *count = child<QSpinBox>(window, "count");
    auto *start = child<QPushButton>(window, "startBtn");
    auto *state = child<QLabel>(window, "stateText");
    auto *result = child<QLabel>(window, "resultText");
    count->setValue(2);
    {
        QFile other(node);
        QVERIFY(other.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The cutter is in use by another program"));
        QTest::mouseClick(start, Qt::LeftButton);
        QTRY_COMPARE(state->text(),
                     QCoreApplication::translate("MainWidget", "The cutter is in use by another program"));
        QVERIFY(allEnabled(window, true));
        QCOMPARE(count->value(), 2);
        QVERIFY(result->text().endsWith(QCoreApplication::translate("CutterJobs", "%1: %2").arg(
            QCoreApplication::translate("CutterJobs", "Not started"),
            QCoreApplication::translate("CutterJobs", "the cutter is in use by another program"))));
    }
    QString title, startWhileRunning, originWhileRunning;
    bool lockedWhileRunning = false;
    QTimer operatorAtBox; // answers the box once it is up
    operatorAtBox.callOnTimeout([&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            startWhileRunning = start->text();
            lockedWhileRunning = allEnabled(window, false) && start->isEnabled();
            child<QPushButton>(window, "setOrigin")->click(); // refused: the job holds the cutter
            originWhileRunning = state->text();
            box->button(QMessageBox::Cancel)->click();
        }
    });
    operatorAtBox.start(20);

    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(start->text(), QCoreApplication::translate("MainWidget", "Start"), 30000);

    QCOMPARE(title, QCoreApplication::translate("MainWidget", "No Paper..."));
    QCOMPARE(count->value(), 1);
    QCOMPARE(state->text(), QCoreApplication::translate("MainWidget", "Idle..."));
    // The result line keeps how the run ended, with the time.
    QVERIFY2(result->text().endsWith(
                 QCoreApplication::translate("CutterJobs", "Stopped: no paper was loaded (%1 sheets done)").arg(1)),
             qPrintable(result->text()));
    QVERIFY(QTime::fromString(result->text().left(5), QStringLiteral("HH:mm")).isValid());
    QCOMPARE(startWhileRunning, QCoreApplication::translate("MainWidget", "Stop"));
    QCOMPARE(originWhileRunning,
             QCoreApplication::translate("MainWidget", "The cutter is busy; try again when it has finished"));
    QVERIFY(!sim.cutter().instructions().contains(QStringLiteral("CMD:203"))); // no position query
    QVERIFY(lockedWhileRunning && allEnabled(window, true) && start->isEnabled());
}

void TestMainWidget::triggerKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("windowActive");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QString>("typed");
    QTest::newRow("Space, window active") << int(Qt::Key_Space) << true << true << "";
    QTest::newRow("Space, window inactive") << int(Qt::Key_Space) << false << false << " ";
    QTest::newRow("Volume Up, window inactive") << int(Qt::Key_VolumeUp) << false << true << "";
    QTest::newRow("other key") << int(Qt::Key_A) << true << false << "a";
}

// While a matrix job runs, a listener turns the trigger keys into triggers;
// without one (no matrix job) every key reaches the window.
void TestMainWidget::triggerKeys()
{
    QFETCH(int, key);
    QFETCH(bool, windowActive);
    QFETCH(bool, pressed);
    QLineEdit edit;
    TriggerKeys::setWindowActive(windowActive);
    int triggers = 0;
    {
        TriggerListener listener([&triggers] { ++triggers; });
        QTest::keyClick(&edit, Qt::Key(key));
        QCOMPARE(triggers, pressed ? 1 : 0);
        QTEST(edit.text(), "typed");
    }
    edit.clear();
    QTest::keyClick(&edit, Qt::Key_Space);
    QCOMPARE(edit.text(), QStringLiteral(" "));
    QCOMPARE(triggers, pressed ? 1 : 0);
    TriggerKeys::setWindowActive(false);
}

QTEST_MAIN(TestMainWidget)
#include "tst_mainwidget.moc"
