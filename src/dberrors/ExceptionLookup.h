#pragma once
// The database exception lookup: a database exception reaches the program as its number; the
// database that raised it knows its name, and the name has its sentence in the message tables.

#include <string>
#include <string_view>

class EFbError;
class TFbCustomDatabase;

// The question a database component answers when it can name its exceptions (the framework's
// database component does). Found on the component by dynamic_cast; a component without it gives
// the empty result.
class IExceptionNameSource {
public:
    virtual ~IExceptionNameSource() = default;
    // The name (trimmed) of the database exception with that number, or the empty string. Runs a
    // query on the database; its failure leaves the call.
    virtual std::string GetExceptionName(int number) = 0;
};

// The exception number of an exception message: the third line from its tenth character up to its
// first ".", read as an integer with leading blanks; Firebird 3's line "Exception N." when the third
// line holds none; 0 when neither does.
int ExceptionNumber(std::string_view message);

// The sentence of the database exception of the error, through the database's exception name; the
// empty string when the database cannot name exceptions (no query then) or the name has no sentence.
std::string KomunikatWyjatkuBazy(const EFbError& error, TFbCustomDatabase* database);
