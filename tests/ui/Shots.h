#pragma once
// Pictures of the windows the tests build, for a person to look at. Saved only when
// ZELWAN_SHOTS_DIR names a directory; the window's caption is drawn above its client area, since
// the offscreen platform draws no frames.

#include <QString>

class QWidget;

void SaveShot(QWidget* widget, const QString& name);
