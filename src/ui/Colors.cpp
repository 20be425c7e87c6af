#include "ui/Colors.h"

#include <QApplication>
#include <QPalette>

namespace {

constexpr TColor Rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}
constexpr TColor Sys(unsigned index) {
    return 0xFF000000u | index;
}

struct TNamedColor {
    const char* Name;
    TColor Value;
};

constexpr TNamedColor kNamedColors[] = {
    {"clAqua", Rgb(0, 255, 255)},
    {"clBlack", Rgb(0, 0, 0)},
    {"clBlue", Rgb(0, 0, 255)},
    {"clCream", Rgb(255, 251, 240)},
    {"clDkGray", Rgb(128, 128, 128)},
    {"clFuchsia", Rgb(255, 0, 255)},
    {"clGray", Rgb(128, 128, 128)},
    {"clGreen", Rgb(0, 128, 0)},
    {"clLime", Rgb(0, 255, 0)},
    {"clLtGray", Rgb(192, 192, 192)},
    {"clMaroon", Rgb(128, 0, 0)},
    {"clMedGray", Rgb(160, 160, 164)},
    {"clMoneyGreen", Rgb(192, 220, 192)},
    {"clNavy", Rgb(0, 0, 128)},
    {"clOlive", Rgb(128, 128, 0)},
    {"clPurple", Rgb(128, 0, 128)},
    {"clRed", Rgb(255, 0, 0)},
    {"clSilver", Rgb(192, 192, 192)},
    {"clSkyBlue", Rgb(166, 202, 240)},
    {"clTeal", Rgb(0, 128, 128)},
    {"clWhite", Rgb(255, 255, 255)},
    {"clYellow", Rgb(255, 255, 0)},
    {"clBackground", Sys(1)},
    {"clActiveCaption", Sys(2)},
    {"clInactiveCaption", Sys(3)},
    {"clMenu", Sys(4)},
    {"clWindow", Sys(5)},
    {"clWindowFrame", Sys(6)},
    {"clMenuText", Sys(7)},
    {"clWindowText", Sys(8)},
    {"clCaptionText", Sys(9)},
    {"clActiveBorder", Sys(10)},
    {"clInactiveBorder", Sys(11)},
    {"clAppWorkSpace", Sys(12)},
    {"clHighlight", Sys(13)},
    {"clHighlightText", Sys(14)},
    {"clBtnFace", Sys(15)},
    {"clBtnShadow", Sys(16)},
    {"clGrayText", Sys(17)},
    {"clBtnText", Sys(18)},
    {"clInactiveCaptionText", Sys(19)},
    {"clBtnHighlight", Sys(20)},
    {"cl3DDkShadow", Sys(21)},
    {"cl3DLight", Sys(22)},
    {"clInfoText", Sys(23)},
    {"clInfoBk", Sys(24)},
    {"clGradientActiveCaption", Sys(27)},
    {"clGradientInactiveCaption", Sys(28)},
    {"clDefault", kwDefaultColorMarker},
};

} // namespace

QColor SysColor(int index) {
    const QPalette pal = QApplication::palette();
    using G = QPalette::ColorGroup;
    using R = QPalette::ColorRole;
    auto c = [&](G group, R role) { return pal.color(group, role); };
    switch (index) {
    case 0:
        return c(G::Active, R::Mid); // scroll bar
    case 1:
        return c(G::Active, R::Dark); // desktop
    case 2:
        return c(G::Active, R::Highlight); // active caption
    case 3:
        return c(G::Inactive, R::Highlight); // inactive caption
    case 4:
        return c(G::Active, R::Window); // menu
    case 5:
        return c(G::Active, R::Base); // window background
    case 6:
        return c(G::Active, R::Shadow); // window frame
    case 7:
        return c(G::Active, R::WindowText); // menu text
    case 8:
        return c(G::Active, R::Text); // window text
    case 9:
        return c(G::Active, R::HighlightedText); // caption text
    case 10:
        return c(G::Active, R::Window); // active border
    case 11:
        return c(G::Inactive, R::Window); // inactive border
    case 12:
        return c(G::Active, R::Dark); // application work space
    case 13:
        return c(G::Active, R::Highlight);
    case 14:
        return c(G::Active, R::HighlightedText);
    case 15:
        return c(G::Active, R::Button); // button face
    case 16:
        return c(G::Active, R::Dark); // button shadow
    case 17:
        return c(G::Disabled, R::Text); // grey text
    case 18:
        return c(G::Active, R::ButtonText);
    case 19:
        return c(G::Inactive, R::HighlightedText); // inactive caption text
    case 20:
        return c(G::Active, R::Light); // button highlight
    case 21:
        return c(G::Active, R::Shadow); // 3D dark shadow
    case 22:
        return c(G::Active, R::Midlight); // 3D light
    case 23:
        return c(G::Active, R::ToolTipText);
    case 24:
        return c(G::Active, R::ToolTipBase);
    case 26:
        return c(G::Active, R::Link); // hot-tracked item
    case 27:
        return c(G::Active, R::Highlight); // gradient of the active caption
    case 28:
        return c(G::Inactive, R::Highlight); // gradient of the inactive caption
    case 29:
        return c(G::Active, R::Highlight); // menu highlight
    case 30:
        return c(G::Active, R::Window); // menu bar
    default:
        return c(G::Active, R::Text);
    }
}

QColor ColorValueToQColor(TColor value) {
    if (value == kwDefaultColorMarker)
        return {};
    const unsigned high = value >> 24;
    if (high == 0xFF || high == 0x80)
        return SysColor(static_cast<int>(value & 0xFF));
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

bool ColorFromName(const QString& name, TColor& value) {
    for (const auto& entry : kNamedColors) {
        if (name.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0) {
            value = entry.Value;
            return true;
        }
    }
    return false;
}
