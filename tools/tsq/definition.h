// The JSON definition of a database and its conversion to and from the
// image the writer turns into a file.
//
// A definition names things as the program does: header keys (headerText,
// password, mailSubject, mailRecipient, readOnly, backgroundColour), items
// with their kind, caption, valueType, fieldId, colour, row, left, width and
// kind data, a sortItem, and records keyed by the captions of value items.
// Items are referred to by caption or by index; the keys "_flags",
// "_extra" and "_payloads" of a record, and "#n" for item n, keep what a
// caption cannot say, so that a dumped file makes the same file again.
#pragma once

#include <string>

#include "storage/writer.h"
#include "tools/tsq/json.h"

namespace tsq {

// Builds image from a definition, its records in the order the program
// keeps them. False with a message naming the item, record or key at fault.
bool imageFromDefinition(const Json& definition, DatabaseImage& image, std::string& error);

// The definition that gives image back, everything explicit.
Json definitionFromImage(const DatabaseImage& image);

}  // namespace tsq
