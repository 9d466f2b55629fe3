#include "workmodes.h"

#include <QtGlobal>

const std::array<WorkMode, 12> workModes = {{
    {QT_TRANSLATE_NOOP("MainWidget", "01. Single File, Blank Cut."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on a blank paper."),
     false, false, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "02. Single File, Matrix Blank."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on one two or four blank paper arrange into a matrix."),
     true, false, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "03. Single File, Scan Mark."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on a printed paper with mark."),
     false, false, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "04. Single File, Matrix Scan."),
     QT_TRANSLATE_NOOP("MainWidget", "Use a selected file, cut on one two or four printed paper arrange into a matrix."),
     true, false, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "05. QR Filter, Scan Mark."),
     QT_TRANSLATE_NOOP("MainWidget", "Use QR Code to filter which file to send, you need to move the carriage back after cut."),
     false, false, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "06. QR Filter, Matrix Scan."),
     QT_TRANSLATE_NOOP("MainWidget", "Use QR Code to filter which file to send, cut on one two or four printed paper arrange into a matrix."),
     true, false, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Blank Cut, Single Feed."), "", false, true, true, false},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Blank Cut, Feed While Cutting."), "", false, true, false, false},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Single File, Single Feed."), "", false, true, true, true},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. Single File, Feed While Cutting."), "", false, true, false, true},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. QR Filter, Single Feed."), "", false, true, true, true},
    {QT_TRANSLATE_NOOP("MainWidget", "AF. QR Filter, Feed While Cutting."), "", false, true, false, true},
}};
