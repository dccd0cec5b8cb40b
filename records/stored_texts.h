// Texts a database remembers outside its records: the number and message
// last sent from an SmsButton. Each is a standalone Text FieldEntry (no
// next entry, field 0) whose position the DataHeader holds; none means
// nothing is remembered, and an empty text is never stored.
#pragma once

#include <cstddef>

#include "storage/format.h"

struct DataFile;
struct Store;

// Reads the remembered text at position into text (room units, cut to fit
// and always terminated); "" for none. 15 for an entry that cannot be read
// or that would lie inside the DataHeader, 53 for one that is not Text.
ErrorCode readStoredText(DataFile& file, Position position, char16_t* text, std::size_t room);

// Replaces the remembered number and message by the given texts; a null
// text keeps what is remembered. The new entries are written and the
// DataHeader names them before the old entries' room is given back, so that
// the file never names a released block. A new entry that finds no room,
// or cannot be written, is forgotten (none) without an error; a failed
// write of the DataHeader is 16 and keeps the old entries' room.
ErrorCode replaceStoredTexts(Store& store, const char16_t* number, const char16_t* message);
