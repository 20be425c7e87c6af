#pragma once
// The user-interface port for a terminal (--show, --test): nothing is drawn and nobody is asked.
// Every message goes to the error stream, so that the standard output holds the command's own
// answer alone (one JSON object with --json); questions are answered by the command line.

#include "core/UiPort.h"

#include <cstdio>
#include <string>

class TConsoleUserInterface : public IUserInterface {
public:
    // Installs itself for its lifetime. yesAnswer: what every yes/no question is answered.
    explicit TConsoleUserInterface(bool yesAnswer, std::FILE* out = stderr);
    ~TConsoleUserInterface() override;
    TConsoleUserInterface(const TConsoleUserInterface&) = delete;
    TConsoleUserInterface& operator=(const TConsoleUserInterface&) = delete;

    TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                          TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                          const std::string& opisPotwierdzenia, int czas, const TArrayKDodIkony* ikony,
                          int skala) override;
    void ShowErrorBox(const std::string& text) override;
    void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                        TFbCustomDatabase* database, const std::string& sql,
                        const TFbXSQLDA* params) override;
    // There is nobody to choose: the answer of a cancelled chooser.
    std::string SelDir(const std::string& katalog, bool tworz, const std::string& etykieta,
                       const std::string& tytul) override;
    TCursorKind Cursor() const override { return FCursor; }
    void SetCursor(TCursorKind cursor) override { FCursor = cursor; }

    // The message windows' text as a terminal shows it: "^" and CR LF as line breaks.
    static std::string PlainText(const std::string& tresc);

private:
    void Write(const std::string& text);

    bool FYes;
    std::FILE* FOut;
    TCursorKind FCursor = TCursorKind::crDefault;
    IUserInterface* FPrevious;
};
