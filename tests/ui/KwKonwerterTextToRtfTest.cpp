#include "ui/KwKonwerterTextToRtf.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

// The box's content as paragraphs "L:", "R:", "C:" separated by "|", each run as
// "[flags#colour]text" (flags from BIUS; no colour for the default text colour).
std::string Describe(const QTextEdit& box) {
    QString out;
    for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
        if (b != box.document()->begin())
            out += u'|';
        const Qt::Alignment a = b.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        out += a == Qt::AlignRight ? u'R' : a == Qt::AlignHCenter ? u'C' : u'L';
        out += u':';
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat c = f.charFormat();
            out += u'[';
            if (c.fontWeight() >= QFont::DemiBold)
                out += u'B';
            if (c.fontItalic())
                out += u'I';
            if (c.fontUnderline())
                out += u'U';
            if (c.fontStrikeOut())
                out += u'S';
            if (c.hasProperty(QTextFormat::ForegroundBrush))
                out += c.foreground().color().name();
            out += u']';
            out += f.text();
        }
    }
    return out.toStdString();
}

struct TConversionCase {
    const char* Name;
    const char* Text;
    const char* Expected;
};

const TConversionCase kCases[] = {
    {"caret splits paragraphs", "Serwer bazy danych nie jest uruchomiony.^Czy uruchomić?",
     "L:[]Serwer bazy danych nie jest uruchomiony.|L:[]Czy uruchomić?"},
    {"leading caret gives an empty paragraph", "^abc", "L:|L:[]abc"},
    {"CR LF is one break, lone LF dropped", "a\r\nb\nc\rd", "L:[]a|L:[]bc|L:[]d"},
    {"bold word", "Ala <B>ma</B> kota", "L:[]Ala [B]ma[] kota"},
    {"styles combine and switch off one by one", "<b><I>x<u>y</B>z</i><S>w</S>v</U>",
     "L:[BI]x[BIU]y[IU]z[US]w[U]v"},
    {"tag names in any case, inside trimmed", "< b >x</B>y", "L:[B]x[]y"},
    {"style survives a paragraph break", "<B>a^b", "L:[B]a|L:[B]b"},
    {"colour by name and by decimal number", "<C:clRed>a<COLOR:255>b", "L:[#ff0000]ab"},
    {"hexadecimal colour has red in the lowest byte", "<c:$FF0000>x<C: $0000FF >y", "L:[#0000ff]x[#ff0000]y"},
    {"unknown colour value and clDefault give the default", "<C:clRed>a<C:nic>b<C:clRed>c<C:clDefault>d",
     "L:[#ff0000]a[]b[#ff0000]c[]d"},
    {"out-of-range number is no colour", "<C:clRed>a<C:99999999999>b", "L:[#ff0000]a[]b"},
    {"colour survives a paragraph break", "<C:clBlue>a^b", "L:[#0000ff]a|L:[#0000ff]b"},
    {"alignment tags start paragraphs", "<A:RIGHT>r<ALIGN:center>c<a:cokolwiek>l", "L:|R:[]r|C:[]c|L:[]l"},
    {"lone < before a tag is text", "a < b <B>c", "L:[]a < b [B]c"},
    {"unknown tag and empty brackets are literal", "x<foo>y<>z< >w", "L:[]x<foo>y<>z< >w"},
    {"unknown tag with a value is literal, untrimmed", "x< FOO:1 >y", "L:[]x< FOO:1 >y"},
    {"unclosed tag at the end is literal", "abc<B", "L:[]abc<B"},
    {"closing bracket without opening is text", "a>b", "L:[]a>b"},
    {"font and size at the very start are removed", "<FONT:Courier New><SIZE:12>abc", "L:[]abc"},
    {"short forms at the start are removed", "<S:10><F:Courier>x", "L:[]x"},
    {"size tag elsewhere is literal", "a<SIZE:12>b", "L:[]a<SIZE:12>b"},
    {"S with a value elsewhere is literal", "a<S:12>b", "L:[]a<S:12>b"},
    {"at most two leading settings", "<F:A><S:9><F:B>x", "L:[]<F:B>x"},
    {"a leading style tag ends the settings", "<B><F:X>y", "L:[B]<F:X>y"},
    {"a non-integer size is still removed", "<S:duzo>x", "L:[]x"},
    {"markup-like text is never HTML", "Tom & <script>alert(1)</script> &amp; <br>",
     "L:[]Tom & <script>alert(1)</script> &amp; <br>"},
};

class KonwerterTest : public ::testing::TestWithParam<TConversionCase> {};

TEST_P(KonwerterTest, Converts) {
    QTextEdit box;
    TkwKonwerterTextToRtf konwerter(nullptr, &box);
    konwerter.WyswietlZformatowanyTekst(std::string(GetParam().Text));
    EXPECT_EQ(Describe(box), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Tags, KonwerterTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TConversionCase>& info) {
                             std::string n;
                             for (const char* p = info.param.Name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

struct TFontCase {
    const char* Text;
    const char* Family;
    int Points;
};

TEST(KonwerterFont, LeadingSettingsSetTheWholeText) {
    const TFontCase cases[] = {
        {"abc", "MS Sans Serif", 8},
        {"<FONT:Courier New><SIZE:12>abc", "Courier New", 12},
        {"<size:14><font:Arial>abc", "Arial", 14},
        {"<F:Times><S:10>x^y", "Times", 10},
        {"<S:duzo>x", "MS Sans Serif", 8},
        {"<S:0>x", "MS Sans Serif", 8},
        {"a<SIZE:12>b", "MS Sans Serif", 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        QTextEdit box;
        TkwKonwerterTextToRtf(nullptr, &box).WyswietlZformatowanyTekst(std::string(c.Text));
        EXPECT_EQ(box.font().family().toStdString(), c.Family);
        EXPECT_EQ(box.font().pixelSize(), DesignPixelSize(c.Points));
        for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QFont f = it.fragment().charFormat().font();
                EXPECT_EQ(f.family().toStdString(), c.Family);
                EXPECT_EQ(f.pixelSize(), DesignPixelSize(c.Points));
            }
    }
}

TEST(KonwerterColour, SystemColoursFollowThePalette) {
    QTextEdit box;
    TkwKonwerterTextToRtf(nullptr, &box)
        .WyswietlZformatowanyTekst(std::string("<C:clBtnFace>a<C:clRed>b<C:$FF00000F>c<C:-16777201>d"));
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QTextBlock b = box.document()->begin();
    std::vector<std::pair<QString, QColor>> runs;
    for (auto it = b.begin(); !it.atEnd(); ++it)
        runs.emplace_back(it.fragment().text(), it.fragment().charFormat().foreground().color());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].first, "a");
    EXPECT_EQ(runs[0].second, face);
    EXPECT_EQ(runs[1].second, QColor(255, 0, 0));
    EXPECT_EQ(runs[2].first, "cd");
    EXPECT_EQ(runs[2].second, face);
}

TEST(KonwerterColour, InitialInsertionAttributesCarryOver) {
    QTextEdit box;
    QTextCharFormat start;
    start.setFontItalic(true);
    start.setForeground(QColor(0, 128, 0));
    box.setCurrentCharFormat(start);
    TkwKonwerterTextToRtf(nullptr, &box).WyswietlZformatowanyTekst(std::string("old^new"));
    // clear() keeps the box's insertion format, so the previous text's attributes are the start.
    EXPECT_EQ(Describe(box), "L:[I#008000]old|L:[I#008000]new");
}

TEST(KonwerterColour, ConvertingAgainReplacesTheContent) {
    QTextEdit box;
    TkwKonwerterTextToRtf k(nullptr, &box);
    k.WyswietlZformatowanyTekst(std::string("<A:RIGHT>pierwszy"));
    k.WyswietlZformatowanyTekst(std::string("drugi"));
    EXPECT_EQ(Describe(box), "L:[]drugi");
}

} // namespace
