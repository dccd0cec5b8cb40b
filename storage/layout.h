// The header and layout of a tsq file, and reading them.
#pragma once

#include <cstdint>

#include "platform/win_base.h"
#include "storage/format.h"

// What the header says and the form's items, as read when the file opened.
struct Layout {
  std::uint32_t reserved2 = 0;  // header field 2, kept 0
  char16_t password[room::password] = {};
  char16_t headerText[room::headerText] = {};
  char16_t mailSubject[room::mailSubject] = {};
  char16_t mailRecipient[room::mailRecipient] = {};
  std::uint8_t reserved8 = 0;  // header field 8
  std::uint8_t readOnly = 0;
  COLORREF backgroundColour = 0xFFFFFF;
  std::uint32_t reserved11 = 0;  // header field 11, kept 0
  // The reserved header words exactly as the file holds them. The program
  // uses none of them (it keeps reserved2 and reserved11 at 0); tsq shows
  // them and writes them back.
  struct StoredWords {
    std::uint32_t field2 = 0;
    std::uint32_t field4 = 0;
    std::uint32_t field11 = 0;
    std::uint32_t field13 = 0;
  } stored;
  std::int32_t itemCount = 0;
  LayoutItem items[maxItems];
};

// Asks the user for the password of a protected database; true when the
// typed text matches password (ignoring case). context is the caller's.
using PasswordCheck = bool (*)(void* context, const char16_t* password);

// Reads header and layout from offset 0 of a freshly opened file. On success
// the file position is the start of the data area. Any failure resets the
// header fields (15), a newer version gives 25, an unconfirmed password 33.
// Every count, index and text is checked against its room: a file that does
// not fit the in-memory layout is refused with 15.
ErrorCode readLayout(HANDLE file, Layout& layout, PasswordCheck checkPassword, void* context);

// What makes a search criterion one that cannot be run, as the reader
// refuses it and tsq create reports it: an operator outside 10..16, an item
// outside the layout, "any Text item" with another operator than contains,
// contains on an item that is not a Text.
enum class CriterionFault { None, Operator, Item, AnyItemNeedsContains, ContainsNeedsText };
// itemValueType is the valueType of the criterion's item when it names one.
CriterionFault criterionFault(std::uint8_t operation, std::uint32_t item, std::uint32_t itemCount, std::uint8_t itemValueType);

// Resets the header fields as a failed read leaves them.
void resetHeaderFields(Layout& layout);
