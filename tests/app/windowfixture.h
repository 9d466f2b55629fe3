// Shared set-up of the main-window tests: every window of a test reads and
// writes one config.ini in a temporary folder, never a real one.
#pragma once
#include "mainwidget.h"

#include <QtTest>
#include <QtWidgets>

class WindowFixture
{
public:
    // Points the window's settings at the temporary config.ini.
    bool setUp()
    {
        if (!dir.isValid())
            return false;
        config = dir.filePath(QStringLiteral("config.ini"));
        MainWidget::setSettingsPathOverride(config);
        return true;
    }
    void removeConfig() { QFile::remove(config); }
    bool writeConfig(const QByteArray &text)
    {
        QFile f(config);
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    }

    template <typename T> static T *child(QWidget &w, const char *name)
    {
        T *found = w.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    QTemporaryDir dir;
    QString config;
};
