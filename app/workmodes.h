#pragma once
#include <array>

// One row per work mode, in the order the mode buttons step through them.
// title and tip are English source texts, translated in the MainWidget
// context; the auto-feed modes have an empty tip.
struct WorkMode
{
    const char *title;
    const char *tip;
    bool matrix;    // matrix options shown
    bool autoFeed;  // feed options and the sheet counter shown
    bool eject;     // auto-feed only: eject distance shown
    bool smartScan; // auto-feed only: smart scan shown
};

extern const std::array<WorkMode, 12> workModes;
