#pragma once
// Fonts of the designs. The designs name Windows fonts; Liberation Sans has Arial's metrics, so it
// stands in for both designed families and the captions fit the designed geometry.

#include <QFont>
#include <QString>

// Makes "MS Sans Serif" and "Arial" resolve to Liberation Sans. Call once after the QApplication
// exists, before any window is built.
void InstallFontSubstitutions();

// The pixel height of a font of the given point size on the designs' 96-pixel-per-inch screen
// (rounded as the platform rounds it: 8 pt is 11 px, 9 pt is 12 px).
int DesignPixelSize(int pointSize);

// A font of the designs: the family at the pixel size of pointSize at 96 pixels per inch, so that
// text measures the same whatever the desktop's font DPI.
QFont DesignFont(const QString& family, int pointSize);
