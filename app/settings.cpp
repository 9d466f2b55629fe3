// Loading and saving the operator's settings (config.ini).
#include "mainwidget.h"
#include "settingspath.h"
#include "ui_mainwidget.h"
#include "workmodes.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <array>

namespace {

// One stored key and the widget whose state it holds; no widget means the
// window's workIndex.
struct SettingKey
{
    const char *key;
    QWidget *widget;
};

// Every key, in the order both operations handle them.
std::array<SettingKey, 22> settingKeys(Ui::MainWidget *ui)
{
    return {{
        {"WCAM/ssid", ui->ssid},
        {"WCAM/passwd", ui->passwd},
        {"WCAM/ipAddr", ui->ipAddr},
        {"KLOM/WorkIndex", nullptr},
        {"KLOM/devType", ui->devType},
        {"KLOM/deviceIP", ui->deviceIP},
        {"KLOM/filePath", ui->filePath},
        {"KLOM/knifeOffsetChx", ui->knifeOffsetChx},
        {"KLOM/knifeOffset", ui->knifeOffset},
        {"KLOM/closeOffsetChx", ui->closeOffsetChx},
        {"KLOM/closeOffset", ui->closeOffset},
        {"KLOM/matOne", ui->matOne},
        {"KLOM/matTwo", ui->matTwo},
        {"KLOM/matFour", ui->matFour},
        {"KLOM/matSpH", ui->matSpH},
        {"KLOM/matSpV", ui->matSpV},
        {"KLOM/feedDist", ui->feedDist},
        {"KLOM/offsetArg", ui->offsetArg},
        {"KLOM/ejectDist", ui->ejectDist},
        {"KLOM/smartScan", ui->smartScan},
        {"UI/cutOrder", ui->cutOrder},
        {"UI/matrixPlaces", ui->matrixPlaces},
    }};
}

// Puts a stored value into its widget; false, and the widget left as it is,
// when a number field's value is not a number. The spin boxes clamp to their
// ranges.
bool applyValue(QWidget *widget, const QVariant &value)
{
    bool ok = true;
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        edit->setText(value.toString());
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        combo->setCurrentText(value.toString());
    } else if (auto *decimal = qobject_cast<QDoubleSpinBox *>(widget)) {
        if (const double number = value.toDouble(&ok); ok)
            decimal->setValue(number);
    } else if (auto *integer = qobject_cast<QSpinBox *>(widget)) {
        if (const int number = value.toInt(&ok); ok)
            integer->setValue(number);
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        button->setChecked(value.toBool());
    }
    return ok;
}

QVariant widgetValue(const QWidget *widget)
{
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    if (auto *decimal = qobject_cast<const QDoubleSpinBox *>(widget))
        return decimal->value();
    if (auto *integer = qobject_cast<const QSpinBox *>(widget))
        return integer->value();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->isChecked();
    return {};
}

QString &settingsPathOverride()
{
    static QString path;
    return path;
}

} // namespace

QString settingsFileFor(const QString &appDir, const QString &userConfigDir)
{
    const QString beside = appDir + QStringLiteral("/config.ini");
    const QFileInfo file(beside);
    // QSettings saves through a new file in the folder that replaces the
    // old one: a writable file in a folder that is not cannot be saved.
    const bool writable = QFileInfo(appDir).isWritable() && (!file.exists() || file.isWritable());
    return writable ? beside : userConfigDir + QStringLiteral("/config.ini");
}

void MainWidget::setSettingsPathOverride(const QString &path)
{
    settingsPathOverride() = path;
}

QString MainWidget::settingsPath()
{
    if (!settingsPathOverride().isEmpty())
        return settingsPathOverride();
    return settingsFileFor(QCoreApplication::applicationDirPath(),
                           QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void MainWidget::loadSettings()
{
    const QString path = settingsPath();
    qDebug() << "Settings read from" << path;
    if (!QFile::exists(path))
        return;
    QSettings settings(path, QSettings::IniFormat);
    // A key the file lacks, or a number that does not read as one, keeps the
    // form's value: taking it as 0 would be saved back, and an auto-feed job
    // would then move sheets by 0 mm.
    QStringList ignored;
    for (const SettingKey &k : settingKeys(ui)) {
        const QString key = QLatin1String(k.key);
        if (!settings.contains(key))
            continue;
        const QVariant value = settings.value(key);
        bool ok = true;
        if (k.widget)
            ok = applyValue(k.widget, value);
        else if (const int index = value.toInt(&ok); ok)
            workIndex = index;
        if (!ok)
            ignored << key + QLatin1Char('=') + value.toString();
    }
    // A stored mode outside the table would index past the mode lists.
    if (workIndex < 0 || workIndex >= int(kWorkModes.size()))
        workIndex = 0;
    if (!ignored.isEmpty())
        showResult(tr("Settings: ignored %1 in %2 (not a number)").arg(ignored.join(QStringLiteral(", ")), path),
                   true);
}

// The file holds the camera's Wi-Fi pass phrase: readable by its owner only.
// It is narrowed before the write, so the rewritten file (which keeps the
// permissions of the one it replaces) is never readable by others, and once
// more after it.
static void keepPrivate(const QString &path)
{
    constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly))
        return;
    file.close();
    const QFileDevice::Permissions userBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    if ((file.permissions() & ~userBits) != ownerOnly && !file.setPermissions(ownerOnly))
        qWarning() << "Settings file" << path << "could not be made private to its owner";
}

void MainWidget::saveSettings()
{
    const QString path = settingsPath();
    qDebug() << "Settings written to" << path;
    keepPrivate(path);
    QSettings settings(path, QSettings::IniFormat);
    for (const SettingKey &k : settingKeys(ui)) {
        if (!k.widget)
            settings.setValue(QLatin1String(k.key), workIndex);
        else if (k.widget != ui->deviceIP || isValidIp(ui->deviceIP->text()))
            settings.setValue(QLatin1String(k.key), widgetValue(k.widget));
    }
    settings.setValue(QStringLiteral("UI/language"), m_languageChoice);
    settings.sync();
    keepPrivate(path);
    // The window closes after this: a box, so the loss is not only in the log.
    if (settings.status() != QSettings::NoError) {
        qWarning() << "Settings could not be written to" << path;
        QMessageBox::warning(this, tr("Settings not saved"),
                             tr("The settings could not be written to %1.").arg(QDir::toNativeSeparators(path)));
    }
}
