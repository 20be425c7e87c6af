#include "app/ConsoleUserInterface.h"

#include "dberrors/ConnectionDiagnosis.h"
#include "dberrors/ErrorTranslation.h"
#include "fbclient/FbErrors.h"

#include <algorithm>

TConsoleUserInterface::TConsoleUserInterface(bool yesAnswer, std::FILE* out)
    : FYes(yesAnswer), FOut(out), FPrevious(SetUserInterface(this)) {}

TConsoleUserInterface::~TConsoleUserInterface() {
    SetUserInterface(FPrevious);
}

std::string TConsoleUserInterface::PlainText(const std::string& tresc) {
    std::string out;
    out.reserve(tresc.size());
    for (std::size_t i = 0; i < tresc.size(); ++i) {
        const char c = tresc[i];
        if (c == '^')
            out += '\n';
        else if (c == '\r')
            out += (i + 1 < tresc.size() && tresc[i + 1] == '\n') ? "" : "\n";
        else
            out += c;
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

void TConsoleUserInterface::Write(const std::string& text) {
    std::fputs(text.c_str(), FOut);
    std::fputc('\n', FOut);
    std::fflush(FOut);
}

TKomButtonType TConsoleUserInterface::KomNew(const std::string& tresc,
                                             const std::vector<TKomButtonType>& przyciski,
                                             TKomButtonType domyslny, TKomRodzajOkna,
                                             const std::string& opisyDodatkowe, const std::string&, int,
                                             const TArrayKDodIkony*, int) {
    std::string text = PlainText(tresc);
    if (!opisyDodatkowe.empty())
        text += "\n" + PlainText(opisyDodatkowe);
    const bool yesNo = std::find(przyciski.begin(), przyciski.end(), kTak) != przyciski.end() &&
                       std::find(przyciski.begin(), przyciski.end(), kNie) != przyciski.end();
    if (!yesNo) {
        Write(text);
        return domyslny;
    }
    Write(text + " " + (FYes ? "Tak (--start-server)" : "Nie (bez --start-server)"));
    return FYes ? kTak : kNie;
}

void TConsoleUserInterface::ShowErrorBox(const std::string& text) {
    Write(PlainText(text));
}

void TConsoleUserInterface::ShowIbErrorWnd(const EFbError& error, const std::string& databaseName,
                                           const std::string& objectName, TFbCustomDatabase* database,
                                           const std::string& sql, const TFbXSQLDA*) {
    std::string text = PlainText(IbErrorToStr(error, database));
    text += "\nKod wyjątku : " + std::to_string(error.IBErrorCode()) +
            "\nKod SQL : " + std::to_string(error.SQLCode()) + "\nBaza danych :" + databaseName +
            "\nObiekt :" + objectName + "\nTreść : " + PlainText(error.Message());
    if (sql.empty()) {
        const std::string diagnosis = ConnectionDiagnosis(error, databaseName, database);
        if (!diagnosis.empty())
            text += "\nPrzyczyna : " + diagnosis;
    } else {
        text += "\nSkrypt:\n" + PlainText(sql);
    }
    Write(text);
}

std::string TConsoleUserInterface::SelDir(const std::string& katalog, bool, const std::string&,
                                          const std::string&) {
    return katalog;
}
