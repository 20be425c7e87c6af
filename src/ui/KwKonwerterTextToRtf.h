#pragma once
// Message texts of the framework are plain strings with a small tag mark-up and "^" as the line
// break. The converter fills a rich-text box with such a text: paragraphs with an alignment, runs
// of text with a style and a colour, one font for the whole text.
//
// Tags (names in any case, the inside of the brackets trimmed): B /B I /I U /U S /S; COLOR:v or C:v;
// ALIGN:v or A:v (RIGHT, CENTER, anything else left; starts a new paragraph); FONT:v or F:v and
// SIZE:v or S:v only at the very start. "^" and a carriage return start a new left-aligned
// paragraph; line feeds are dropped; anything else in angle brackets is shown as it is.

#include "core/Component.h"
#include "ui/Colors.h"

#include <QString>

#include <cstdint>
#include <string>

class QTextEdit;

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

// The attributes carried across paragraph breaks.
struct TParametryWyswietlaniaKom {
    TFontStyles Style = 0;
    TColor Color = kwDefaultColorMarker;
};

class TkwKonwerterTextToRtf : public TComponent {
public:
    TkwKonwerterTextToRtf(TComponent* owner, QTextEdit* richEdit);

    // Replaces the box's content by the converted text. The box's insertion style and colour at
    // the start are the text's initial ones. Text is only ever inserted as plain characters.
    void WyswietlZformatowanyTekst(const std::string& text);
    void WyswietlZformatowanyTekst(const QString& text);

private:
    QTextEdit* FRichEdit;
};

// A colour value of a tag: a decimal number, "$" and a hexadecimal number, or a colour name;
// anything else is the default-colour marker.
TColor KolorZTekstu(const QString& value);
