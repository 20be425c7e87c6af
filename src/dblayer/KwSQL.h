#pragma once
// The statement of the framework's database layer: the client statement with execute and close
// operations that never let a failure escape. Each returns whether it worked and hands a failure,
// with the statement text and its parameters, to the database exception handler, which decides
// between the error window with the silent abort, EKwDbError for the caller, or going on.

#include "fbclient/FbQuery.h"

#include <exception>
#include <memory>
#include <string>

class EFbError;

class TkwSQL : public TFbQuery {
public:
    explicit TkwSQL(TComponent* owner = nullptr) : TFbQuery(owner) {}

    // Executes the statement. Without a database of its own it takes its transaction's default
    // database first; a database it has is kept whatever the transaction names.
    bool kwExecQuery(const std::string& options);
    bool kwClose(const std::string& options);
    // Passes a caught failure to the database exception handler (call it from a catch block).
    void HandleException(std::exception_ptr error, const std::string& options);

    // The last failure the handler saw; LastIbError is empty when it was no client error.
    const std::exception_ptr& LastError() const noexcept { return FLastError; }
    const std::shared_ptr<const EFbError>& LastIbError() const noexcept { return FLastIbError; }
    const std::string& LastErrorS() const noexcept { return FLastErrorS; }

protected:
    // The object name the handler reports; a descendant names itself.
    virtual std::string ClassName() const { return "TkwSQL"; }

private:
    // Runs the operation; a failure goes to the handler and gives false.
    template <class TFn> bool Guarded(TFn operation, const std::string& options);

    std::exception_ptr FLastError;
    std::shared_ptr<const EFbError> FLastIbError;
    std::string FLastErrorS;
};
