// Loading and saving config.ini.
#include "mainwidget.h"
#include "windowfixture.h"
#include "settingspath.h"

#include <QtTest>
#include <QtWidgets>

class TestSettings : public QObject, private WindowFixture
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void noFileKeepsFormDefaults();
    void onlyCameraGroupClearsCutterFields();
    void roundTrip();
    void invalidCutterAddressKeepsStoredOne();
    void clampedToSpinBoxRange_data();
    void clampedToSpinBoxRange();
    void storedMode_data();
    void storedMode();
    void matrixRadioRules_data();
    void matrixRadioRules();
    void fileBesideProgramOrUserConfig();

private:
    enum Column { FormDefault, Saved, CameraOnly };
    // Each stored field with its value in the form, the value a round trip
    // saves, and what a file with only the camera group gives.
    struct Field
    {
        const char *name;
        QVariant values[3];
    };
    static QVector<Field> fields();
    // Every field as the column says; the user property (text, value, checked).
    static void expectFields(QWidget &w, Column column);
    static QVariant field(QWidget &w, const char *name)
    {
        QWidget *c = child<QWidget>(w, name);
        return c->metaObject()->userProperty().read(c);
    }
};

QVector<TestSettings::Field> TestSettings::fields()
{
    const QString plot = QStringLiteral("/home/操作员/jobs/box; v2.plt");
    const QString none;
    // Missing keys read as empty, 0 or false, not as the form defaults, except
    // where no widget state matches: devType has no empty item and clearing a
    // radio button does not uncheck it.
    return {
        {"ssid", {QStringLiteral("V6"), QStringLiteral("Shop floor"), QStringLiteral("Workshop")}},
        {"passwd", {QStringLiteral("58201946"), QStringLiteral("p=a;s#s"), QStringLiteral("s3cret")}},
        {"ipAddr", {QStringLiteral("192.168.137.137"), QStringLiteral("10.0.0.50"), QStringLiteral("10.0.0.50")}},
        {"devType", {QStringLiteral("USB"), QStringLiteral("RJ45"), QStringLiteral("USB")}},
        {"deviceIP", {QStringLiteral("192.168.0.100"), QStringLiteral("172.16.4.20"), none}},
        {"filePath", {none, plot, none}},
        {"knifeOffsetChx", {false, true, false}},
        {"knifeOffset", {0.3, 1.2, 0.0}},
        {"closeOffsetChx", {false, true, false}},
        {"closeOffset", {0.5, 2.5, 0.0}},
        {"matOne", {true, false, true}},
        {"matFour", {false, true, false}},
        {"matSpH", {15.0, 12.34, 0.0}},
        {"matSpV", {15.0, 56.78, 0.0}},
        {"feedDist", {710, 650, 0}},
        {"offsetArg", {0, -42, 0}},
        {"ejectDist", {800, 1234, 0}},
        {"smartScan", {false, true, false}},
    };
}

void TestSettings::expectFields(QWidget &w, Column column)
{
    for (const Field &f : fields()) {
        const QVariant got = field(w, f.name);
        QVERIFY2(got == f.values[column], qPrintable(QStringLiteral("%1: %2, expected %3")
                                                         .arg(QLatin1String(f.name), got.toString(),
                                                              f.values[column].toString())));
    }
}

void TestSettings::initTestCase()
{
    QVERIFY(setUp());
}

void TestSettings::init()
{
    removeConfig();
}

void TestSettings::noFileKeepsFormDefaults()
{
    MainWidget w;
    expectFields(w, FormDefault);
    QCOMPARE(w.workIndex, 0);
    QCOMPARE(child<QSpinBox>(w, "count")->value(), 100);
    QVERIFY(!QFile::exists(config)); // loading never creates the file
}

void TestSettings::onlyCameraGroupClearsCutterFields()
{
    QVERIFY(writeConfig("[WCAM]\nssid=Workshop\npasswd=s3cret\nipAddr=10.0.0.50\n"));
    MainWidget w;
    expectFields(w, CameraOnly);
    QCOMPARE(w.workIndex, 0);
}

void TestSettings::roundTrip()
{
    {
        MainWidget w;
        for (int i = 0; i < 7; ++i)
            QTest::mouseClick(child<QPushButton>(w, "nextMode"), Qt::LeftButton);
        for (const Field &f : fields()) {
            QWidget *c = child<QWidget>(w, f.name);
            QVERIFY(c->metaObject()->userProperty().write(c, f.values[Saved]));
        }
        child<QSpinBox>(w, "count")->setValue(7); // not stored
        w.saveSettings();
    }
    {
        QSettings raw(config, QSettings::IniFormat);
        QCOMPARE(raw.allKeys().size(), 20);
        QCOMPARE(raw.value("KLOM/WorkIndex").toString(), QStringLiteral("7"));
        QCOMPARE(raw.value("KLOM/knifeOffsetChx").toString(), QStringLiteral("true"));
        QCOMPARE(raw.value("KLOM/ejectDist").toString(), QStringLiteral("1234"));
    }
    MainWidget w;
    expectFields(w, Saved);
    QCOMPARE(w.workIndex, 7);
    QCOMPARE(child<QLabel>(w, "mode")->text(), QStringLiteral("AF. Blank Cut, Feed While Cutting."));
    QVERIFY(child<QWidget>(w, "ejectDist")->isHidden());
    QCOMPARE(child<QSpinBox>(w, "count")->value(), 100);
}

void TestSettings::invalidCutterAddressKeepsStoredOne()
{
    QVERIFY(writeConfig("[KLOM]\ndeviceIP=10.0.0.7\nejectDist=900\n"));
    {
        MainWidget w;
        child<QLineEdit>(w, "deviceIP")->setText(QStringLiteral("10.0.0"));
        child<QSpinBox>(w, "ejectDist")->setValue(950);
        w.saveSettings();
    }
    QSettings raw(config, QSettings::IniFormat);
    QCOMPARE(raw.value("KLOM/deviceIP").toString(), QStringLiteral("10.0.0.7"));
    QCOMPARE(raw.value("KLOM/ejectDist").toInt(), 950);
}

void TestSettings::clampedToSpinBoxRange_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("widget");
    QTest::addColumn<double>("value");
    QTest::newRow("knife offset high") << QByteArray("knifeOffset=9") << QByteArray("knifeOffset") << 1.5;
    QTest::newRow("offset low") << QByteArray("offsetArg=-500") << QByteArray("offsetArg") << -100.0;
    QTest::newRow("not a number") << QByteArray("ejectDist=far") << QByteArray("ejectDist") << 0.0;
}

void TestSettings::clampedToSpinBoxRange()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, widget);
    QFETCH(double, value);
    QVERIFY(writeConfig("[KLOM]\n" + line + "\n"));
    MainWidget w;
    QCOMPARE(field(w, widget.constData()).toDouble(), value);
}

void TestSettings::storedMode_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("last") << QByteArray("11") << 11;
    QTest::newRow("past the table") << QByteArray("12") << 0;
    QTest::newRow("negative") << QByteArray("-1") << 0;
    QTest::newRow("not a number") << QByteArray("seven") << 0;
}

void TestSettings::storedMode()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, index);
    QVERIFY(writeConfig("[KLOM]\nWorkIndex=" + stored + "\n"));
    MainWidget w;
    QCOMPARE(w.workIndex, index);
    QCOMPARE(child<QLabel>(w, "mode")->text(), w.modeNames.at(index));
    QCOMPARE(child<QLabel>(w, "mode")->toolTip(), w.modeTips.at(index));
}

void TestSettings::matrixRadioRules_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("checkedButton");
    QTest::newRow("two") << QByteArray("matOne=false\nmatTwo=true\nmatFour=false\n") << QByteArray("matTwo");
    QTest::newRow("none keeps the form's") << QByteArray("matOne=false\nmatTwo=false\nmatFour=false\n")
                                          << QByteArray("matOne");
    QTest::newRow("later key wins") << QByteArray("matOne=true\nmatTwo=true\nmatFour=true\n")
                                    << QByteArray("matFour");
}

void TestSettings::matrixRadioRules()
{
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, checkedButton);
    QVERIFY(writeConfig("[KLOM]\n" + keys));
    MainWidget w;
    for (const char *name : {"matOne", "matTwo", "matFour"})
        QCOMPARE(field(w, name).toBool(), checkedButton == name);
}

void TestSettings::fileBesideProgramOrUserConfig()
{
    const QString user = dir.filePath(QStringLiteral("user"));
    QCOMPARE(settingsFileFor(dir.path(), user), dir.path() + QStringLiteral("/config.ini"));
    QCOMPARE(settingsFileFor(dir.filePath(QStringLiteral("missing")), user), user + QStringLiteral("/config.ini"));

    // Without an override the program's own directory (writable here) is used.
    MainWidget::setSettingsPathOverride(QString());
    QCOMPARE(MainWidget::settingsPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini"));

    // Saving to a user config directory that does not exist yet creates it.
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("user/cutterdesk/config.ini")));
    {
        MainWidget w;
        w.saveSettings();
    }
    MainWidget::setSettingsPathOverride(config);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("user/cutterdesk/config.ini"))));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
