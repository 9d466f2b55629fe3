#pragma once
#include <QWidget>

// Preview of the current plot paths over a picture of the flat bed.
// A plot point (x, y), in plotter units (40 per mm), is drawn at the widget
// pixel ((x + offsetX) * scale, (-y + offsetY) * scale): plotter y points up.
class LineView : public QWidget
{
    Q_OBJECT
public:
    explicit LineView(QWidget *parent = nullptr);

    double scale = 0.01;  // screen pixels per plotter unit (one pixel = 2.5 mm)
    int homeX = 6000;     // offset a resize restores, plotter units
    int homeY = 8000;     // origin's distance above the bottom edge after a resize, plotter units
    int anchorX = 6000;   // offset when the current drag began
    int anchorY = 8000;
    int offsetX = 6000;   // translation applied after scaling, plotter units
    int offsetY = 8000;
    int pressX = 0;       // widget pixel of the last left-button press
    int pressY = 0;
    bool zoomEnabled = true; // false while the left button is held
};
