#pragma once
// The framework's bitmap button. Setting Kind replaces the glyph by the framework's own picture for
// that kind; nothing else about the button changes (caption, size, default flag and modal result
// are the caller's).

#include <QPixmap>
#include <QPushButton>
#include <QString>

#include <cstdint>

enum TBitBtnKind : std::uint8_t {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};

// The glyph bitmap of a resource name ("NBBOK", "NBBCANCEL", "NBBHELP", "NBBYES", "NBBNO",
// "NBBCLOSE", "NBBABORT", "NBBRETRY", "NBBIGNORE", "NBBALL", "NBARCHIW"): two images side by side,
// normal and disabled. Drawn once per process and kept until the application ends; a null pixmap
// for an unknown name.
const QPixmap& KomGlyph(const QString& resourceName);
// The resource name of a kind's glyph; empty for bkCustom.
QString KomGlyphName(TBitBtnKind kind);

class TBitBtnKom : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtnKom(QWidget* parent = nullptr);

    TBitBtnKind Kind() const { return FKind; }
    void SetKind(TBitBtnKind kind);

    // The two-image glyph bitmap (null when the button has none).
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& twoImages);

    int Tag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    // The code the button's click hands to its modal window.
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int result) { FModalResult = result; }

private:
    TBitBtnKind FKind = bkCustom;
    QPixmap FGlyph;
    int FTag = 0;
    int FModalResult = 0;
};
