#pragma once
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QWidget;

// Brings the cutter selector up to date (the only part of the link that needs widgets):
// 1. every name of `names` not yet listed (exact, case-sensitive) is appended,
//    in order; existing entries keep their places;
// 2. every entry whose device does not exist (exists(text) false) is removed,
//    each entry checked once, also when neighbours are removed with it;
// 3. while devType reads "USB", connectBtn is enabled exactly when the list
//    is not empty; with any other type, or a null connectBtn (a job or the
//    camera set-up holds it until its end), it is left alone.
// The combo box keeps its current entry when that entry stays.
void refreshDeviceList(QComboBox *device, QWidget *connectBtn, const QString &devType, const QStringList &names,
                       const std::function<bool(const QString &)> &exists);

// Connect (the camera set-up) as the link type allows it, where nothing holds
// it: over "USB" enabled exactly when `device` lists a cutter, over "RJ45"
// always; any other type leaves it as it is.
void enableConnect(QWidget *connectBtn, const QString &devType, const QComboBox *device);

// The same with the cutters attached now (CutterSession::usbDevices); the
// link's held node is left alone, so a refresh from a hot-plug event during
// a job neither redirects nor interrupts the job.
void refreshDeviceList(QComboBox *device, QWidget *connectBtn, const QString &devType, const QStringList &present);
