#include "ui/Fonts.h"

void InstallFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

int DesignPixelSize(int pointSize) {
    // MulDiv(size, 96, 72): rounds halves away from zero.
    const int num = pointSize * 96;
    return num >= 0 ? (num + 36) / 72 : -((-num + 36) / 72);
}

QFont DesignFont(const QString& family, int pointSize) {
    QFont font(family);
    const int px = DesignPixelSize(pointSize);
    font.setPixelSize(px > 0 ? px : 1);
    return font;
}
