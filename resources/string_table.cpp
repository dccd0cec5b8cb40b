#include "resources/string_table.h"

#include <iterator>

namespace res {

namespace {
constexpr StringEntry table[] = {
    {1, u"SMS message sent"},
    {2, u"The database is now in your Outbox"},
    {4, u"Operation canceled"},
    {5, u"OK to permanently delete record?"},
    {6, u"OK to permanently delete database?"},
    {7, u"You already have a database with this name.\nOk to overwrite it?"},
    {8, u"You already have a database with this name.\n\nUse the one you already have?"},
    {14, u"Window creation error"},
    {15, u"Error reading data"},
    {16, u"Error writing data"},
    {24, u"Data conversion error"},
    {25, u"Newer Tessra required to read this database"},
    {26, u"Record not found"},
    {27, u"Memory allocation error"},
    {28, u"You must select a sort order before searching"},
    {29, u"This cannot be done while editing a record"},
    {30, u"No phone number found for this entry"},
    {31, u"Unable to email database"},
    {33, u"Incorrect password"},
    {44, u"Invalid expression in calculated column"},
    {45, u"Division by zero"},
    {46, u"Unable to send SMS message"},
    {53, u"Internal error"},
    {54, u"Tessra"},
    {55, u"Dial"},
    {56, u"Open"},
    {59, u"Done"},
    {60, u"Menu"},
    {61, u"OK"},
    {64, u"Cancel"},
    {74, u"Pick Column"},
    {75, u"Search For"},
    {76, u"Send SMS"},
    {77, u"Phone"},
    {78, u"Message"},
};
}  // namespace

std::span<const StringEntry> stringTable() { return {std::begin(table), std::end(table)}; }

const char16_t* findString(unsigned id) {
  for (const auto& e : table)
    if (e.id == id) return e.text;
  return nullptr;
}

}  // namespace res
