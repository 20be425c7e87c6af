#include "dblayer/KwSQL.h"

#include "dberrors/DbErrorHandler.h"
#include "fbclient/FbTransaction.h"

template <class TFn> bool TkwSQL::Guarded(TFn operation, const std::string& options) {
    try {
        operation();
    } catch (...) {
        HandleException(std::current_exception(), options);
        return false;
    }
    return true;
}

bool TkwSQL::kwExecQuery(const std::string& options) {
    if (!Database() && Transaction())
        SetDatabase(Transaction()->DefaultDatabase());
    return Guarded([this] { ExecQuery(); }, options);
}

bool TkwSQL::kwClose(const std::string& options) {
    return Guarded([this] { Close(); }, options);
}

void TkwSQL::HandleException(std::exception_ptr error, const std::string& options) {
    // The parameters are found in the text; a text that cannot be scanned has none to show, and
    // its own failure is the one being reported.
    const TFbXSQLDA* params = nullptr;
    try {
        params = &Params();
    } catch (...) {
    }
    ::HandleException(Database(), ClassName(), std::move(error), SQLText(), options, FLastError, FLastIbError,
                      FLastErrorS, params);
}
