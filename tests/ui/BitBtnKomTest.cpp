#include "ui/BitBtnKom.h"
#include "ui/Fonts.h"

#include "QtTestUtil.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Pixels that are not fully transparent.
int Inked(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0)
                ++n;
    return n;
}

TEST(TBitBtnKom, EveryKindHasANormalAndADisabledImage) {
    const TBitBtnKind kinds[] = {bkOK,    bkCancel, bkHelp,  bkYes,    bkNo,
                                 bkClose, bkAbort,  bkRetry, bkIgnore, bkAll};
    for (TBitBtnKind kind : kinds) {
        SCOPED_TRACE(KomGlyphName(kind).toStdString());
        TBitBtnKom b;
        b.SetKind(kind);
        EXPECT_EQ(b.Kind(), kind);
        ASSERT_FALSE(b.Glyph().isNull());
        EXPECT_EQ(b.Glyph().size(), QSize(36, 18));
        const QImage normal = b.Glyph().copy(0, 0, 18, 18).toImage();
        const QImage disabled = b.Glyph().copy(18, 0, 18, 18).toImage();
        EXPECT_GT(Inked(normal), 10);
        EXPECT_GT(Inked(disabled), 10);
        EXPECT_NE(normal, disabled);
        EXPECT_FALSE(b.icon().isNull());
        // Drawn once per process: every button of a kind shares the same bitmap.
        EXPECT_EQ(KomGlyph(KomGlyphName(kind)).cacheKey(), b.Glyph().cacheKey());
    }
    EXPECT_FALSE(KomGlyph(QStringLiteral("NBARCHIW")).isNull());
    EXPECT_TRUE(KomGlyph(QStringLiteral("NIEMA")).isNull());
}

TEST(TBitBtnKom, KindChangesOnlyTheGlyph) {
    TBitBtnKom b;
    b.setText(QStringLiteral("&Zapisz"));
    b.resize(90, 25);
    b.SetModalResult(1);
    b.SetKind(bkOK);
    b.SetKind(bkCustom);
    EXPECT_TRUE(b.Glyph().isNull());
    EXPECT_TRUE(b.icon().isNull());
    EXPECT_EQ(b.text(), "&Zapisz");
    EXPECT_EQ(b.size(), QSize(90, 25));
    EXPECT_EQ(b.ModalResult(), 1);
    EXPECT_FALSE(b.isDefault());
}

TEST(TBitBtnKom, GlyphSheet) {
    QWidget sheet;
    sheet.setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8));
    sheet.resize(2 * 95 + 15, 11 * 30 + 10);
    const TBitBtnKind kinds[] = {bkOK,    bkCancel, bkHelp,   bkYes, bkNo,    bkClose,
                                 bkAbort, bkRetry,  bkIgnore, bkAll, bkCustom};
    int row = 0;
    for (TBitBtnKind kind : kinds) {
        for (int col = 0; col < 2; ++col) {
            auto* b = new TBitBtnKom(&sheet);
            if (kind == bkCustom)
                b->SetGlyph(KomGlyph(QStringLiteral("NBARCHIW")));
            else
                b->SetKind(kind);
            b->setText(kind == bkCustom ? QStringLiteral("NBARCHIW") : KomGlyphName(kind));
            b->setGeometry(5 + col * 100, 5 + row * 30, 95, 25);
            b->setEnabled(col == 0);
        }
        ++row;
    }
    sheet.show();
    SaveShot(&sheet, QStringLiteral("TBitBtnKom_glyphs"));
    EXPECT_EQ(sheet.findChildren<TBitBtnKom*>().size(), 22);
}

} // namespace
