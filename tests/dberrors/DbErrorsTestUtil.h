#pragma once
// Helpers of the error-reporting tests.

#include "ClientErrors.h"
#include "dberrors/ExceptionLookup.h"
#include "fbclient/FbDatabase.h"
#include "fbclient/FbErrors.h"

#include <map>
#include <string>
#include <vector>

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
