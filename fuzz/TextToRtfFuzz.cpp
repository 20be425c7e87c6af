// The formatted-text converter on any text: the box shows only characters of the text, in their
// order (tags, "^" and line breaks taken out, nothing made up), and never reads mark-up of its own.
#include "FuzzCheck.h"
#include "ui/KwKonwerterTextToRtf.h"

#include <QApplication>
#include <QTextEdit>

namespace {

// Kept for the life of the process: libFuzzer leaves by exit(), after Qt's own globals are gone,
// where destroying the application crashes.
QApplication* gApp = nullptr;
QTextEdit* gBox = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    gApp = new QApplication(*argc, *argv);
    gBox = new QTextEdit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string text(FuzzBytes(data, size));
    TkwKonwerterTextToRtf konwerter(nullptr, gBox);
    konwerter.WyswietlZformatowanyTekst(text);
    const QString shown = gBox->toPlainText();
    const QString input = QString::fromUtf8(text);
    qsizetype at = 0;
    for (QChar c : shown) {
        if (c == u'\n')
            continue;
        // The box shows a no-break space as a blank.
        while (at < input.size() && input[at] != c && !(c == u' ' && input[at] == QChar(0x00A0)))
            ++at;
        FuzzCheck(at < input.size(), "the box shows what the text does not hold: " + shown.toStdString());
        ++at;
    }
    return 0;
}
