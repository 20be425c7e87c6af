#include "ui/KwKonwerterTextToRtf.h"

#include "ui/Fonts.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

TFontStyles StyleOf(const QTextCharFormat& fmt) {
    TFontStyles s = 0;
    if (fmt.fontWeight() >= QFont::DemiBold)
        s |= fsBold;
    if (fmt.fontItalic())
        s |= fsItalic;
    if (fmt.fontUnderline())
        s |= fsUnderline;
    if (fmt.fontStrikeOut())
        s |= fsStrikeOut;
    return s;
}

void ApplyStyle(QTextCharFormat& fmt, TFontStyles s) {
    fmt.setFontWeight((s & fsBold) ? QFont::Bold : QFont::Normal);
    fmt.setFontItalic(s & fsItalic);
    fmt.setFontUnderline(s & fsUnderline);
    fmt.setFontStrikeOut(s & fsStrikeOut);
}

TColor ColorOf(const QTextCharFormat& fmt) {
    if (!fmt.hasProperty(QTextFormat::ForegroundBrush))
        return kwDefaultColorMarker;
    const QColor c = fmt.foreground().color();
    return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
           (static_cast<TColor>(c.blue()) << 16);
}

void ApplyColor(QTextCharFormat& fmt, TColor value) {
    const QColor c = ColorValueToQColor(value);
    if (c.isValid())
        fmt.setForeground(c);
    else
        fmt.clearForeground();
}

Qt::Alignment TagToAlign(const QString& value) {
    const QString v = value.trimmed().toUpper();
    if (v == QLatin1String("RIGHT"))
        return Qt::AlignRight;
    if (v == QLatin1String("CENTER"))
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// A 32-bit integer as the platform's string-to-integer reads it: optional sign, decimal digits, or
// "$" and hexadecimal digits. Out of range or malformed: false.
bool ParseInt32(const QString& text, std::int32_t& out) {
    if (text.isEmpty())
        return false;
    int i = 0;
    bool negative = false;
    if (text[0] == u'-' || text[0] == u'+') {
        negative = text[0] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == u'$') {
        hex = true;
        ++i;
    }
    if (i >= text.size())
        return false;
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        int digit;
        if (ch >= u'0' && ch <= u'9')
            digit = ch - u'0';
        else if (hex && ch >= u'a' && ch <= u'f')
            digit = ch - u'a' + 10;
        else if (hex && ch >= u'A' && ch <= u'F')
            digit = ch - u'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (v > 0xFFFFFFFFull)
            return false;
    }
    if (hex) {
        // Hexadecimal covers the whole 32 bits (system colours have the high bit set).
        std::uint32_t u = static_cast<std::uint32_t>(v);
        out = static_cast<std::int32_t>(negative ? 0u - u : u);
        return true;
    }
    if (negative ? v > 0x80000000ull : v > 0x7FFFFFFFull)
        return false;
    out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
    return true;
}

} // namespace

TColor KolorZTekstu(const QString& value) {
    const QString v = value.trimmed();
    std::int32_t number;
    if (ParseInt32(v, number))
        return static_cast<TColor>(number);
    TColor named;
    if (ColorFromName(v, named))
        return named;
    return kwDefaultColorMarker;
}

TkwKonwerterTextToRtf::TkwKonwerterTextToRtf(TComponent* owner, QTextEdit* richEdit)
    : TComponent(owner), FRichEdit(richEdit) {}

void TkwKonwerterTextToRtf::WyswietlZformatowanyTekst(const std::string& text) {
    WyswietlZformatowanyTekst(QString::fromStdString(text));
}

void TkwKonwerterTextToRtf::WyswietlZformatowanyTekst(const QString& input) {
    QTextEdit* re = FRichEdit;
    re->clear();

    // Line breaks: every "^" and every carriage return is a new left-aligned paragraph; a CR LF
    // pair therefore makes one break.
    QString text = input;
    text.replace(u'^', QStringLiteral("<A:LEFT>"));
    text.replace(u'\r', QStringLiteral("<A:LEFT>"));
    text.remove(u'\n');

    QTextCharFormat fmt = re->currentCharFormat();
    TParametryWyswietlaniaKom par{StyleOf(fmt), ColorOf(fmt)};

    // Leading settings: at most a font and a size tag, in either order, at the very start.
    QString fontName = QStringLiteral("MS Sans Serif");
    int size = 8;
    for (int pass = 0; pass < 2; ++pass) {
        if (!text.startsWith(u'<'))
            break;
        const qsizetype close = text.indexOf(u'>');
        if (close < 0)
            break;
        const QString inner = text.mid(1, close - 1);
        const qsizetype colon = inner.indexOf(u':');
        if (colon < 0)
            break;
        const QString name = inner.left(colon).trimmed().toUpper();
        const QString value = inner.mid(colon + 1).trimmed();
        if (name == QLatin1String("FONT") || name == QLatin1String("F")) {
            fontName = value;
        } else if (name == QLatin1String("SIZE") || name == QLatin1String("S")) {
            bool ok = false;
            const int v = value.toInt(&ok);
            // A size the font system cannot show (zero, negative, absurd) leaves the size as it was.
            if (ok && v > 0 && v <= 1000)
                size = v;
        } else {
            break;
        }
        text.remove(0, close + 1);
    }

    const QFont font = DesignFont(fontName, size);
    re->setFont(font);
    re->document()->setDefaultFont(font);
    fmt.setFont(font, QTextCharFormat::FontPropertiesSpecifiedOnly); // family and size only
    ApplyStyle(fmt, par.Style);
    ApplyColor(fmt, par.Color);

    QTextCursor cur(re->document());
    cur.movePosition(QTextCursor::End);
    QTextBlockFormat first = cur.blockFormat();
    first.setAlignment(Qt::AlignLeft);
    cur.setBlockFormat(first);
    cur.setCharFormat(fmt);

    auto insert = [&](const QString& piece) {
        if (!piece.isEmpty())
            cur.insertText(piece, fmt);
    };

    while (text.contains(u'<')) {
        const qsizetype open = text.indexOf(u'<');
        if (open > 0) {
            insert(text.left(open));
            text.remove(0, open);
        }
        const qsizetype close = text.indexOf(u'>');
        const qsizetype nextOpen = text.indexOf(u'<', 1);
        if (nextOpen > 0 && (close < 0 || nextOpen < close)) {
            // The leading "<" opens no tag: it is ordinary text up to the next "<".
            insert(text.left(nextOpen));
            text.remove(0, nextOpen);
            continue;
        }
        if (close < 0)
            break;

        const QString raw = text.mid(1, close - 1);
        const QString tag = raw.trimmed();
        const qsizetype colon = tag.indexOf(u':');
        bool known = true;
        if (colon < 0) {
            const QString t = tag.toUpper();
            TFontStyles s = StyleOf(fmt);
            if (t == QLatin1String("B"))
                s |= fsBold;
            else if (t == QLatin1String("/B"))
                s &= ~fsBold;
            else if (t == QLatin1String("I"))
                s |= fsItalic;
            else if (t == QLatin1String("/I"))
                s &= ~fsItalic;
            else if (t == QLatin1String("U"))
                s |= fsUnderline;
            else if (t == QLatin1String("/U"))
                s &= ~fsUnderline;
            else if (t == QLatin1String("S"))
                s |= fsStrikeOut;
            else if (t == QLatin1String("/S"))
                s &= ~fsStrikeOut;
            else
                known = false;
            if (known) {
                ApplyStyle(fmt, s);
                par.Style = s;
            }
        } else {
            const QString name = tag.left(colon).toUpper();
            const QString value = tag.mid(colon + 1);
            if (name == QLatin1String("COLOR") || name == QLatin1String("C")) {
                par.Color = KolorZTekstu(value);
                ApplyColor(fmt, par.Color);
            } else if (name == QLatin1String("ALIGN") || name == QLatin1String("A")) {
                ApplyStyle(fmt, par.Style);
                ApplyColor(fmt, par.Color);
                QTextBlockFormat bf = cur.blockFormat();
                bf.setAlignment(TagToAlign(value));
                cur.insertBlock(bf, fmt);
            } else {
                known = false;
            }
        }
        if (!known)
            insert(QStringLiteral("<") + raw + QStringLiteral(">"));
        text.remove(0, close + 1);
    }
    insert(text);
    re->setCurrentCharFormat(fmt);
}
