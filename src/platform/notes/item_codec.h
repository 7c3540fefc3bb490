// How item values are stored in the items table: a type name and one SQLite
// value (text, real or JSON text), and back.
#pragma once

#include "platform/notes/notes.h"

#include <string>

namespace norvexa::notes::internal {

// One item value as stored: TYPE is the items.type column; the value column
// holds REAL when IS_REAL, else TEXT.
struct StoredValue {
  std::string type;
  bool is_real = false;
  double real = 0;
  std::string text;
};

// Encodes VALUE. Throws NotesError for a value that cannot be stored (an
// invalid date-time or time, a number that is not finite).
StoredValue EncodeItemValue(const ItemValue& value);

// Decodes a stored value; a corrupt one throws NotesError.
ItemValue DecodeItemValue(const StoredValue& stored);

// The type name of VALUE ("text", "number", "datetime", "time", "textlist",
// "datetimelist", "numberlist").
std::string ItemTypeName(const ItemValue& value);

// True when TYPE is one the items table allows: a type name above or
// "richtext".
bool IsStoredItemType(const std::string& type);

// "yyyy-mm-ddThh:mm:ss+hh:mm" (offset seconds appended as ":ss" when not 0):
// the wall-clock time at the value's own UTC offset, to the second. Throws
// NotesError for an invalid value or one outside the years 1 to 9999.
std::string FormatDateTime(const QDateTime& value);
// Reads FormatDateTime's text back; an invalid QDateTime when malformed.
QDateTime ParseDateTime(const std::string& text);

// The current time in UTC as "yyyy-mm-ddThh:mm:ss.zzzZ".
std::string NowUtc();

// TEXTS as a JSON array of strings, and back.
std::string TextListToJson(const TextList& texts);
TextList TextListFromJson(const std::string& json, bool* ok);

// VALUES as a JSON array of FormatDateTime texts (throwing as it does), and
// back (an invalid or malformed entry gives *OK false).
std::string DateTimeListToJson(const DateTimeList& values);
DateTimeList DateTimeListFromJson(const std::string& json, bool* ok);

// NUMBERS as a JSON array of numbers, each written in the shortest form that
// reads back as the same double; throws NotesError for one that is not
// finite. And back.
std::string NumberListToJson(const NumberList& numbers);
NumberList NumberListFromJson(const std::string& json, bool* ok);

}  // namespace norvexa::notes::internal
