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
    static QString text(QWidget &w, const char *name) { return child<QLineEdit>(w, name)->text(); }
    static double decimal(QWidget &w, const char *name) { return child<QDoubleSpinBox>(w, name)->value(); }
    static int integer(QWidget &w, const char *name) { return child<QSpinBox>(w, name)->value(); }
    static bool checked(QWidget &w, const char *name) { return child<QAbstractButton>(w, name)->isChecked(); }
};

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
    QCOMPARE(text(w, "ssid"), QStringLiteral("V6"));
    QCOMPARE(text(w, "passwd"), QStringLiteral("58201946"));
    QCOMPARE(text(w, "ipAddr"), QStringLiteral("192.168.137.137"));
    QCOMPARE(w.workIndex, 0);
    QCOMPARE(child<QComboBox>(w, "devType")->currentText(), QStringLiteral("USB"));
    QCOMPARE(text(w, "deviceIP"), QStringLiteral("192.168.0.100"));
    QCOMPARE(text(w, "filePath"), QString());
    QVERIFY(!checked(w, "knifeOffsetChx"));
    QCOMPARE(decimal(w, "knifeOffset"), 0.3);
    QVERIFY(!checked(w, "closeOffsetChx"));
    QCOMPARE(decimal(w, "closeOffset"), 0.5);
    QVERIFY(checked(w, "matOne"));
    QVERIFY(!checked(w, "matTwo"));
    QVERIFY(!checked(w, "matFour"));
    QCOMPARE(decimal(w, "matSpH"), 15.0);
    QCOMPARE(decimal(w, "matSpV"), 15.0);
    QCOMPARE(integer(w, "feedDist"), 710);
    QCOMPARE(integer(w, "offsetArg"), 0);
    QCOMPARE(integer(w, "ejectDist"), 800);
    QVERIFY(!checked(w, "smartScan"));
    QCOMPARE(integer(w, "count"), 100);
    QCOMPARE(integer(w, "creaseCnt"), 2);
    QVERIFY(!QFile::exists(config)); // loading never creates the file
}

void TestSettings::onlyCameraGroupClearsCutterFields()
{
    QVERIFY(writeConfig("[WCAM]\nssid=Workshop\npasswd=s3cret\nipAddr=10.0.0.50\n"));
    MainWidget w;
    QCOMPARE(text(w, "ssid"), QStringLiteral("Workshop"));
    QCOMPARE(text(w, "passwd"), QStringLiteral("s3cret"));
    QCOMPARE(text(w, "ipAddr"), QStringLiteral("10.0.0.50"));
    // Missing keys read as empty, 0 or false, not as the form defaults...
    QCOMPARE(text(w, "deviceIP"), QString());
    QCOMPARE(decimal(w, "knifeOffset"), 0.0);
    QCOMPARE(decimal(w, "closeOffset"), 0.0);
    QCOMPARE(decimal(w, "matSpH"), 0.0);
    QCOMPARE(decimal(w, "matSpV"), 0.0);
    QCOMPARE(integer(w, "feedDist"), 0);
    QCOMPARE(integer(w, "ejectDist"), 0);
    // ...except where no widget state matches: devType has no empty item and
    // clearing a radio button does not uncheck it.
    QCOMPARE(child<QComboBox>(w, "devType")->currentText(), QStringLiteral("USB"));
    QVERIFY(checked(w, "matOne"));
    QCOMPARE(w.workIndex, 0);
}

void TestSettings::roundTrip()
{
    const QString plot = QStringLiteral("/home/操作员/jobs/box; v2.plt");
    {
        MainWidget w;
        child<QLineEdit>(w, "ssid")->setText(QStringLiteral("Shop floor"));
        child<QLineEdit>(w, "passwd")->setText(QStringLiteral("p=a;s#s"));
        child<QLineEdit>(w, "ipAddr")->setText(QStringLiteral("10.0.0.50"));
        for (int i = 0; i < 7; ++i)
            QTest::mouseClick(child<QPushButton>(w, "nextMode"), Qt::LeftButton);
        child<QComboBox>(w, "devType")->setCurrentText(QStringLiteral("RJ45"));
        child<QLineEdit>(w, "deviceIP")->setText(QStringLiteral("172.16.4.20"));
        child<QLineEdit>(w, "filePath")->setText(plot);
        child<QCheckBox>(w, "knifeOffsetChx")->setChecked(true);
        child<QDoubleSpinBox>(w, "knifeOffset")->setValue(1.2);
        child<QCheckBox>(w, "closeOffsetChx")->setChecked(true);
        child<QDoubleSpinBox>(w, "closeOffset")->setValue(2.5);
        child<QRadioButton>(w, "matFour")->setChecked(true);
        child<QDoubleSpinBox>(w, "matSpH")->setValue(12.34);
        child<QDoubleSpinBox>(w, "matSpV")->setValue(56.78);
        child<QSpinBox>(w, "feedDist")->setValue(650);
        child<QSpinBox>(w, "offsetArg")->setValue(-42);
        child<QSpinBox>(w, "ejectDist")->setValue(1234);
        child<QCheckBox>(w, "smartScan")->setChecked(true);
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
    QCOMPARE(text(w, "ssid"), QStringLiteral("Shop floor"));
    QCOMPARE(text(w, "passwd"), QStringLiteral("p=a;s#s"));
    QCOMPARE(text(w, "ipAddr"), QStringLiteral("10.0.0.50"));
    QCOMPARE(w.workIndex, 7);
    QCOMPARE(child<QLabel>(w, "mode")->text(), QStringLiteral("AF. Blank Cut, Feed While Cutting."));
    QVERIFY(child<QWidget>(w, "ejectDist")->isHidden());
    QCOMPARE(child<QComboBox>(w, "devType")->currentText(), QStringLiteral("RJ45"));
    QCOMPARE(text(w, "deviceIP"), QStringLiteral("172.16.4.20"));
    QCOMPARE(text(w, "filePath"), plot);
    QVERIFY(checked(w, "knifeOffsetChx"));
    QCOMPARE(decimal(w, "knifeOffset"), 1.2);
    QVERIFY(checked(w, "closeOffsetChx"));
    QCOMPARE(decimal(w, "closeOffset"), 2.5);
    QVERIFY(checked(w, "matFour"));
    QVERIFY(!checked(w, "matOne"));
    QCOMPARE(decimal(w, "matSpH"), 12.34);
    QCOMPARE(decimal(w, "matSpV"), 56.78);
    QCOMPARE(integer(w, "feedDist"), 650);
    QCOMPARE(integer(w, "offsetArg"), -42);
    QCOMPARE(integer(w, "ejectDist"), 1234);
    QVERIFY(checked(w, "smartScan"));
    QCOMPARE(integer(w, "count"), 100);
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
    QTest::newRow("close offset negative") << QByteArray("closeOffset=-3") << QByteArray("closeOffset") << 0.0;
    QTest::newRow("spacing high") << QByteArray("matSpH=150") << QByteArray("matSpH") << 100.0;
    QTest::newRow("feed high") << QByteArray("feedDist=5000") << QByteArray("feedDist") << 1000.0;
    QTest::newRow("offset low") << QByteArray("offsetArg=-500") << QByteArray("offsetArg") << -100.0;
    QTest::newRow("eject high") << QByteArray("ejectDist=99999") << QByteArray("ejectDist") << 5000.0;
    QTest::newRow("not a number") << QByteArray("ejectDist=far") << QByteArray("ejectDist") << 0.0;
}

void TestSettings::clampedToSpinBoxRange()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, widget);
    QFETCH(double, value);
    QVERIFY(writeConfig("[KLOM]\n" + line + "\n"));
    MainWidget w;
    auto *spin = child<QAbstractSpinBox>(w, widget.constData());
    if (auto *d = qobject_cast<QDoubleSpinBox *>(spin))
        QCOMPARE(d->value(), value);
    else
        QCOMPARE(double(qobject_cast<QSpinBox *>(spin)->value()), value);
}

void TestSettings::storedMode_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("auto-feed") << QByteArray("7") << 7;
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
        QCOMPARE(checked(w, name), checkedButton == name);
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
