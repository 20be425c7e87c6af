#pragma once
// Translation of server errors into Polish. A client error's status code picks its row of the
// status-code table: a fixed sentence, a template pair filled from the server's message, or one of
// the four rows that first look the constraint, index or exception up in the message tables.
// Every function here takes text and gives text; none keeps state between calls.

#include <string>
#include <string_view>

class EFbError;
class TFbCustomDatabase;

// The Polish message of a client error (possibly empty). Reads the error's IBErrorCode and Message
// only. The database is used by the exception row alone (a database exception's own sentence,
// looked up by its number on that database); that lookup's failure leaves this function.
std::string IbErrorToStr(const EFbError& error, TFbCustomDatabase* database);

// The Polish template with its placeholders ("<string>", "<string2>", "<string3>", "<long>",
// "<long2>", "<digit>", "<digit2>") filled from one line of the server's message, lined up against
// the English template. The line read is the second of 2 lines, the fourth of 4, the fifth of 6;
// any other number of lines, or an empty line, gives the empty string. Ends on every input: at most
// as many placeholders are filled as the Polish template holds.
std::string Tlumacz(std::string_view polish, std::string_view message, std::string_view english);

// Names taken out of a whole message, upper-cased: the foreign key between "\"FK_" and "\" on table ",
// the key between "\"PK_" and "\" on table ", the index after "in unique index \"" up to the next
// quote. A missing marker gives whatever the positions give; such text matches no table key.
std::string GetForeignKeyName(std::string_view message);
std::string GetUniqueKeyName(std::string_view message);
std::string GetUniqueIndexName(std::string_view message);

// The database's own message for an exception raised in a procedure or trigger: the line before the
// first "At ..." line (the first line when that is the first), else the fifth line, else
// "Nieznany błąd bazy danych.".
std::string KomunikatZBazy(std::string_view message);
