#include "ui/BitBtnKom.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

#include <map>

namespace {

constexpr int kGlyphSize = 18;

std::map<QString, QPixmap>*& GlyphCache() {
    static std::map<QString, QPixmap>* cache = nullptr;
    return cache;
}

// Pixmaps must go before the application does; the cache is emptied when it ends.
void FreeGlyphCache() {
    delete GlyphCache();
    GlyphCache() = nullptr;
}

QPainterPath CheckMark(qreal dx = 0) {
    QPainterPath p;
    p.moveTo(3 + dx, 9);
    p.lineTo(7 + dx, 13);
    p.lineTo(15 + dx, 4);
    return p;
}

// Draws one image of a glyph. The disabled image is the same drawing in grey with a white relief,
// as the platform shows disabled glyphs.
void DrawGlyph(QPainter& p, const QString& name, bool disabled) {
    auto col = [disabled](QColor c) { return disabled ? QColor(128, 128, 128) : c; };
    const QColor green(0, 128, 0), red(192, 0, 0), navy(0, 0, 160), brown(150, 100, 30);
    auto pen = [&](QColor c, qreal w) {
        QPen pen(col(c), w);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    };
    if (name == QLatin1String("NBBOK")) {
        pen(green, 2.6);
        p.drawPath(CheckMark());
    } else if (name == QLatin1String("NBBYES")) {
        pen(green, 3.0);
        p.drawPath(CheckMark());
    } else if (name == QLatin1String("NBBALL")) {
        pen(green, 2.0);
        p.drawPath(CheckMark(-2));
        p.drawPath(CheckMark(2));
    } else if (name == QLatin1String("NBBCANCEL")) {
        pen(red, 2.6);
        p.drawLine(QPointF(4, 4), QPointF(14, 14));
        p.drawLine(QPointF(14, 4), QPointF(4, 14));
    } else if (name == QLatin1String("NBBNO")) {
        pen(red, 2.2);
        p.drawEllipse(QRectF(3, 3, 12, 12));
        p.drawLine(QPointF(5, 13), QPointF(13, 5));
    } else if (name == QLatin1String("NBBABORT")) {
        p.setPen(Qt::NoPen);
        p.setBrush(col(red));
        p.drawEllipse(QRectF(2, 2, 14, 14));
        QPen x(disabled ? QColor(224, 224, 224) : Qt::white, 2.0);
        x.setCapStyle(Qt::RoundCap);
        p.setPen(x);
        p.drawLine(QPointF(6, 6), QPointF(12, 12));
        p.drawLine(QPointF(12, 6), QPointF(6, 12));
    } else if (name == QLatin1String("NBBHELP")) {
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(16);
        f.setBold(true);
        p.setFont(f);
        p.setPen(col(navy));
        p.drawText(QRectF(0, 0, kGlyphSize, kGlyphSize), Qt::AlignCenter, QStringLiteral("?"));
    } else if (name == QLatin1String("NBBCLOSE")) {
        // An open door.
        pen(brown, 1.2);
        p.setBrush(col(QColor(230, 200, 120)));
        p.drawRect(QRectF(4.5, 2.5, 9, 13));
        p.setBrush(col(QColor(120, 80, 20)));
        QPainterPath door;
        door.moveTo(4.5, 2.5);
        door.lineTo(9.5, 4.5);
        door.lineTo(9.5, 16.5);
        door.lineTo(4.5, 15.5);
        door.closeSubpath();
        p.drawPath(door);
    } else if (name == QLatin1String("NBBRETRY")) {
        pen(green, 2.0);
        p.drawArc(QRectF(3, 3, 12, 12), 60 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(col(green));
        QPainterPath head;
        head.moveTo(10, 1);
        head.lineTo(15, 4.5);
        head.lineTo(10, 8);
        head.closeSubpath();
        p.drawPath(head);
    } else if (name == QLatin1String("NBBIGNORE")) {
        // An arrow jumping over a bar.
        pen(navy, 1.8);
        p.drawLine(QPointF(9, 9), QPointF(9, 16));
        QPainterPath jump;
        jump.moveTo(2, 13);
        jump.cubicTo(4, 2, 14, 2, 15, 11);
        p.drawPath(jump);
        p.drawLine(QPointF(15, 11), QPointF(12, 9));
        p.drawLine(QPointF(15, 11), QPointF(16.5, 7.5));
    } else if (name == QLatin1String("NBARCHIW")) {
        // A box with its lid.
        pen(brown, 1.0);
        p.setBrush(col(QColor(210, 160, 80)));
        p.drawRect(QRectF(3.5, 7.5, 11, 8));
        p.setBrush(col(QColor(180, 130, 60)));
        p.drawRect(QRectF(2.5, 4.5, 13, 3));
        p.drawLine(QPointF(7, 10.5), QPointF(11, 10.5));
    }
}

QPixmap MakeGlyph(const QString& name) {
    QPixmap pm(kGlyphSize * 2, kGlyphSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawGlyph(p, name, false);
    // Disabled image: a white relief one pixel down-right, the grey drawing over it.
    p.translate(kGlyphSize + 1, 1);
    {
        QPixmap relief(kGlyphSize, kGlyphSize);
        relief.fill(Qt::transparent);
        QPainter rp(&relief);
        rp.setRenderHint(QPainter::Antialiasing);
        DrawGlyph(rp, name, true);
        rp.setCompositionMode(QPainter::CompositionMode_SourceIn);
        rp.fillRect(relief.rect(), Qt::white);
        rp.end();
        p.drawPixmap(0, 0, relief);
    }
    p.translate(-1, -1);
    DrawGlyph(p, name, true);
    return pm;
}

// The glyphs of the kinds, and the archive glyph that no kind has.
bool KnownGlyph(const QString& name) {
    if (name == QLatin1String("NBARCHIW"))
        return true;
    for (int kind = bkOK; kind <= bkAll; ++kind)
        if (name == KomGlyphName(static_cast<TBitBtnKind>(kind)))
            return true;
    return false;
}

} // namespace

const QPixmap& KomGlyph(const QString& resourceName) {
    static const QPixmap none;
    if (!KnownGlyph(resourceName))
        return none;
    auto*& cache = GlyphCache();
    if (!cache) {
        cache = new std::map<QString, QPixmap>;
        qAddPostRoutine(FreeGlyphCache);
    }
    auto it = cache->find(resourceName);
    if (it == cache->end())
        it = cache->emplace(resourceName, MakeGlyph(resourceName)).first;
    return it->second;
}

QString KomGlyphName(TBitBtnKind kind) {
    switch (kind) {
    case bkOK:
        return QStringLiteral("NBBOK");
    case bkCancel:
        return QStringLiteral("NBBCANCEL");
    case bkHelp:
        return QStringLiteral("NBBHELP");
    case bkYes:
        return QStringLiteral("NBBYES");
    case bkNo:
        return QStringLiteral("NBBNO");
    case bkClose:
        return QStringLiteral("NBBCLOSE");
    case bkAbort:
        return QStringLiteral("NBBABORT");
    case bkRetry:
        return QStringLiteral("NBBRETRY");
    case bkIgnore:
        return QStringLiteral("NBBIGNORE");
    case bkAll:
        return QStringLiteral("NBBALL");
    case bkCustom:
        break;
    }
    return {};
}

TBitBtnKom::TBitBtnKom(QWidget* parent) : QPushButton(parent) {
    setIconSize(QSize(kGlyphSize, kGlyphSize));
}

void TBitBtnKom::SetKind(TBitBtnKind kind) {
    FKind = kind;
    const QString name = KomGlyphName(kind);
    SetGlyph(name.isEmpty() ? QPixmap() : KomGlyph(name));
}

void TBitBtnKom::SetGlyph(const QPixmap& twoImages) {
    FGlyph = twoImages;
    if (twoImages.isNull()) {
        setIcon(QIcon());
        return;
    }
    const int w = twoImages.width() / 2;
    QIcon icon;
    icon.addPixmap(twoImages.copy(0, 0, w, twoImages.height()), QIcon::Normal);
    icon.addPixmap(twoImages.copy(w, 0, w, twoImages.height()), QIcon::Disabled);
    setIcon(icon);
    setIconSize(QSize(w, twoImages.height()));
}
