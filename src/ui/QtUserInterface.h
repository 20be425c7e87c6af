#pragma once
// The Qt implementation of the user-interface port. The program creates one at start-up; it
// installs itself for its lifetime and puts back what was installed before.

#include "core/UiPort.h"

#include <functional>
#include <string>

// The directory chooser the port's SelDir forwards to; the chooser's own unit sets it.
using TSelDirHook = std::function<std::string(const std::string& katalog, bool tworz,
                                              const std::string& etykieta, const std::string& tytul)>;
void SetSelDirHook(TSelDirHook hook);

class TQtUserInterface : public IUserInterface {
public:
    TQtUserInterface();
    ~TQtUserInterface() override;
    TQtUserInterface(const TQtUserInterface&) = delete;
    TQtUserInterface& operator=(const TQtUserInterface&) = delete;

    TKomButtonType KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                          TKomButtonType domyslny, TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                          const std::string& opisPotwierdzenia, int czas, const TArrayKDodIkony* ikony,
                          int skala) override;
    // A modal box captioned with the application's display name, the text as plain text, one OK.
    void ShowErrorBox(const std::string& text) override;
    // The process's one error window (TfIbErrorWnd), made on first use.
    void ShowIbErrorWnd(const EFbError& error, const std::string& databaseName, const std::string& objectName,
                        TFbCustomDatabase* database, const std::string& sql, const TFbXSQLDA* params) override;
    // Throws an Exception when no directory chooser has been linked in.
    std::string SelDir(const std::string& katalog, bool tworz, const std::string& etykieta,
                       const std::string& tytul) override;
    TCursorKind Cursor() const override { return FCursor; }
    void SetCursor(TCursorKind cursor) override;

private:
    IUserInterface* FPrevious;
    TCursorKind FCursor = TCursorKind::crDefault;
    bool FOverride = false;
};

// The application's top level for one slot or event handler: the silent abort is dropped without
// a word, any other exception is shown in the default error box and dropped, so that no exception
// crosses the Qt event loop.
void RunGuarded(const std::function<void()>& body);
