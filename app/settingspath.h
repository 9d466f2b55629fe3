#pragma once
#include <QString>

// config.ini in appDir when it can be written there (the directory, and the
// file if it exists: saving replaces the file through a new one beside it),
// else config.ini in userConfigDir, so that the settings of an installed
// program are not silently lost.
QString settingsFileFor(const QString &appDir, const QString &userConfigDir);
