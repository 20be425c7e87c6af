#include "core/UiPort.h"

#include "core/Exception.h"

namespace {
IUserInterface* gUserInterface = nullptr;
}

IUserInterface* SetUserInterface(IUserInterface* ui) {
    IUserInterface* old = gUserInterface;
    gUserInterface = ui;
    return old;
}

IUserInterface& UserInterface(const char* service) {
    if (!gUserInterface)
        throw Exception(std::string("No user interface is installed for: ") + service);
    return *gUserInterface;
}

TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                      TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                      const std::string& opisPotwierdzenia, int czas, const TArrayKDodIkony* ikony, int skala) {
    if (przyciski.empty())
        return kAnuluj;
    return UserInterface("message window").KomNew(tresc, przyciski, domyslny, rodzaj, opisyDodatkowe,
                                                  opisPotwierdzenia, czas, ikony, skala);
}

void Inf(const std::string& tresc, int skala) { KomNew(tresc, {kOK}, kOK, kInformacja, {}, {}, 0, nullptr, skala); }

void BladOk(const std::string& tresc, int skala) { KomNew(tresc, {kOK}, kOK, kBlad, {}, {}, 0, nullptr, skala); }

bool PytTN(const std::string& tresc, int skala) {
    return KomNew(tresc, {kTak, kNie}, kTak, kPytanie, {}, {}, 0, nullptr, skala) == kTak;
}

void ShowErrorBox(const std::string& text) { UserInterface("default error box").ShowErrorBox(text); }

void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                    TFbCustomDatabase* database, const std::string& sql, const TFbXSQLDA* params) {
    UserInterface("database error window")
        .ShowIbErrorWnd(error, databaseName, objectName, database, sql, params);
}

std::string SelDir(const std::string& katalog, bool tworz, const std::string& etykieta, const std::string& tytul) {
    return UserInterface("directory chooser").SelDir(katalog, tworz, etykieta, tytul);
}
