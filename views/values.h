// Values and their text forms, by the phone's locale.
#pragma once

#include <cstdint>

#include "platform/windows.h"
#include "storage/format.h"

constexpr int formatBufferSize = 1024;

// The user's decimal separator, or 0 when it is unavailable.
char16_t decimalSeparator();

// Writes the display text of value into buffer (formatBufferSize units).
// False, with the empty text, for an unknown ValueType. A Date or Time that
// the platform cannot render shows the empty text.
bool formatValue(char16_t* buffer, const FieldValue& value);

// Fills value from text. False when the text is not a valid value of the type.
bool parseValue(FieldValue& value, const char16_t* text, std::uint8_t valueType, std::uint16_t fieldId,
                Position next);

void localizeDecimalPoint(char16_t* text);
