#pragma once
// Helpers of the error-reporting tests.

#include "dberrors/ExceptionLookup.h"
#include "fbclient/FbApi.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"

#include <map>
#include <string>
#include <vector>

// A client-library error with this status code and exactly this Message (no SQL-code text, no
// raiser), as the client layer would build it from a status vector starting with the code.
inline EFbLibraryError MakeError(int code, const std::string& message, int sqlCode = -1) {
    ISC_STATUS* status = StatusVector();
    const ISC_STATUS saved = status[1];
    status[1] = code;
    EFbLibraryError error(sqlCode, nullptr, "", message, "");
    status[1] = saved;
    return error;
}

// A database component that names its exceptions from a table, recording every number asked for.
class TNamingDatabase : public TFbDatabase, public IExceptionNameSource {
public:
    std::string GetExceptionName(int number) override {
        Asked.push_back(number);
        const auto it = Names.find(number);
        return it == Names.end() ? std::string() : it->second;
    }
    std::map<int, std::string> Names;
    std::vector<int> Asked;
};
