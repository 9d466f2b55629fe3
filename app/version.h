#pragma once

// The version every program prints and the window shows: project()'s version,
// followed by `git describe` when built from a checkout ("1.0.0+1cbcf3a").
const char *cutterdeskVersion();

// The build date as the compiler writes it ("Apr  3 2021"). It changes
// together with the version file, so it is the day of the latest build.
const char *cutterdeskBuildDate();
