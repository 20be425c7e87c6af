#pragma once
// Colour values as the framework's texts and designs give them: a 32-bit number with red in the
// lowest byte; a high byte of FF (or 80, the older form) marks a system colour whose low byte is
// the platform's system colour index; 0x20000000 stands for the default text colour.

#include "core/KwUtils.h"

#include <QColor>
#include <QString>

constexpr TColor kwDefaultColorMarker = 0x20000000;

// The palette colour of the running application that means what the platform's system colour
// index means (5 window background, 8 window text, 15 button face, ...).
QColor SysColor(int index);

// The colour a value shows; an invalid QColor for the default-colour marker.
QColor ColorValueToQColor(TColor value);

// Looks up a colour name ("clRed", "clBtnFace", "clDefault"; letter case ignored).
bool ColorFromName(const QString& name, TColor& value);
