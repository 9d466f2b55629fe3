#include "devicelist.h"

#include <QComboBox>
#include <QWidget>

void refreshDeviceList(QComboBox *device, QWidget *connectBtn, const QString &devType, const QStringList &names,
                       const std::function<bool(const QString &)> &exists)
{
    for (const QString &name : names) {
        if (device->findData(name, Qt::DisplayRole, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            device->addItem(name);
    }
    // Walk backwards: removing an entry then cannot make us skip the one after it.
    for (int i = device->count() - 1; i >= 0; --i) {
        if (!exists(device->itemText(i)))
            device->removeItem(i);
    }
    if (connectBtn && devType == QLatin1String("USB"))
        enableConnect(connectBtn, devType, device);
}

void enableConnect(QWidget *connectBtn, const QString &devType, const QComboBox *device)
{
    if (devType == QLatin1String("USB"))
        connectBtn->setEnabled(device->count() > 0);
    else if (devType == QLatin1String("RJ45"))
        connectBtn->setEnabled(true);
}

void refreshDeviceList(QComboBox *device, QWidget *connectBtn, const QString &devType, const QStringList &present)
{
    refreshDeviceList(device, connectBtn, devType, present,
                      [&present](const QString &name) { return present.contains(name); });
}
