#pragma once
// The user-interface port: the one way the layers below ui/ show messages, ask questions, show the
// database error window, ask for a directory, change the cursor and show the platform's default
// error box. The program installs the Qt implementation at start-up; tests install a recording fake.
// Without one, every call throws.

#include <cstdint>
#include <string>
#include <vector>

// The error window shows these; the port only passes them on (core does not know the client layer).
class EFbError;
class TFbCustomDatabase;
class TFbXSQLDA;

// Buttons of a message window; also the answer.
enum TKomButtonType : std::uint8_t {
    kTak, kNie, kAnuluj, kOK, kPomoc, kUsun, kTakWsz, kNieWsz, kAnulujWsz, kArchiw, kDod1, kDod2, kDod3, kDod4
};
// Window kind: caption, icon and sound.
enum TKomRodzajOkna : std::uint8_t { kPytanie, kBlad, kUwaga, kInformacja };
// Glyph of an extra (kDod) button.
enum TKomKDodIkona : std::uint8_t { kiBrak, kiCancel, kiAll, kiClose, kiHelp, kiIgnore, kiNo, kiOk, kiRetry };
using TArrayKDodIkony = std::vector<TKomKDodIkona>;

// The screen cursor, as far as the framework tells cursors apart.
enum class TCursorKind : std::uint8_t { crDefault, crHourGlass, crAppStart, crOther };

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // Shows a modal message window and returns the answer (see KomNew below).
    virtual TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                                  TKomButtonType domyslny, TKomRodzajOkna rodzaj,
                                  const std::string& opisyDodatkowe, const std::string& opisPotwierdzenia,
                                  int czas, const TArrayKDodIkony* ikony, int skala) = 0;
    // The platform's default error box: the application title as caption, the text, one OK button.
    virtual void ShowErrorBox(const std::string& text) = 0;
    // The database error window, modal: the error's Polish message, and behind a toggle its details
    // (codes, database and object names, the server's message, the statement and its parameters).
    // database and params may be null. A failing translation leaves before anything is shown.
    virtual void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName,
                                const std::string& objectName, TFbCustomDatabase* database,
                                const std::string& sql, const TFbXSQLDA* params) = 0;
    // The framework's directory chooser; returns katalog when the user cancelled.
    virtual std::string SelDir(const std::string& katalog, bool tworz, const std::string& etykieta,
                               const std::string& tytul) = 0;
    virtual TCursorKind Cursor() const = 0;
    virtual void SetCursor(TCursorKind cursor) = 0;
};

// Installs the implementation (null removes it); returns the one installed before.
IUserInterface* SetUserInterface(IUserInterface* ui);
// The installed implementation; throws an Exception naming the service when there is none.
IUserInterface& UserInterface(const char* service);

// Message windows. KomNew with an empty button list answers kAnuluj and shows nothing.
TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                      TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe = {},
                      const std::string& opisPotwierdzenia = {}, int czas = 0,
                      const TArrayKDodIkony* ikony = nullptr, int skala = 100);
void Inf(const std::string& tresc, int skala = 100);
void BladOk(const std::string& tresc, int skala = 100);
bool PytTN(const std::string& tresc, int skala = 100);
void ShowErrorBox(const std::string& text);
void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                    TFbCustomDatabase* database, const std::string& sql, const TFbXSQLDA* params);
std::string SelDir(const std::string& katalog, bool tworz, const std::string& etykieta,
                   const std::string& tytul);
