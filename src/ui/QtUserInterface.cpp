#include "ui/QtUserInterface.h"

#include "core/Exception.h"
#include "ui/IbErrorWnd.h"
#include "ui/OknoKomunikat.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>

#include <cstdio>

namespace {
TSelDirHook& SelDirHook() {
    static TSelDirHook hook;
    return hook;
}
} // namespace

void SetSelDirHook(TSelDirHook hook) {
    SelDirHook() = std::move(hook);
}

TQtUserInterface::TQtUserInterface() : FPrevious(SetUserInterface(this)) {}

TQtUserInterface::~TQtUserInterface() {
    if (FOverride)
        QApplication::restoreOverrideCursor();
    SetUserInterface(FPrevious);
}

TKomButtonType TQtUserInterface::KomNew(const std::string& tresc,
                                        const std::vector<TKomButtonType>& przyciski, TKomButtonType domyslny,
                                        TKomRodzajOkna rodzaj, const std::string& opisyDodatkowe,
                                        const std::string& opisPotwierdzenia, int czas,
                                        const TArrayKDodIkony* ikony, int skala) {
    return TOknoKomunikat::KomNew(tresc, przyciski, domyslny, rodzaj, opisyDodatkowe, opisPotwierdzenia, czas,
                                  ikony, skala);
}

void TQtUserInterface::ShowErrorBox(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TQtUserInterface::ShowIbErrorWnd(const EFbError& error, const std::string& databaseName,
                                      const std::string& objectName, TFbCustomDatabase* database,
                                      const std::string& sql, const TFbXSQLDA* params) {
    TfIbErrorWnd::Instance().RunOld(error, databaseName, objectName, database, sql, params);
}

std::string TQtUserInterface::SelDir(const std::string& katalog, bool tworz, const std::string& etykieta,
                                     const std::string& tytul) {
    const TSelDirHook& hook = SelDirHook();
    if (!hook)
        throw Exception("directory chooser not available");
    return hook(katalog, tworz, etykieta, tytul);
}

void TQtUserInterface::SetCursor(TCursorKind cursor) {
    FCursor = cursor;
    if (cursor == TCursorKind::crDefault) {
        if (FOverride)
            QApplication::restoreOverrideCursor();
        FOverride = false;
        return;
    }
    const Qt::CursorShape shape = cursor == TCursorKind::crHourGlass  ? Qt::WaitCursor
                                  : cursor == TCursorKind::crAppStart ? Qt::BusyCursor
                                                                      : Qt::ArrowCursor;
    if (FOverride)
        QApplication::changeOverrideCursor(QCursor(shape));
    else
        QApplication::setOverrideCursor(QCursor(shape));
    FOverride = true;
}

void RunGuarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        const std::string text = e.what(); // an Exception's what() is its Message
        try {
            ShowErrorBox(text);
        } catch (const std::exception& inner) {
            // Not even the error box is there: the message must not be lost.
            std::fprintf(stderr, "%s\n%s\n", text.c_str(), inner.what());
        }
    }
}
