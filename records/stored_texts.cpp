#include "records/stored_texts.h"

#include <vector>

#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "storage/store.h"
#include "storage/writer.h"

namespace {

ErrorCode readTextEntry(DataFile& file, Position position, FieldValue& value) {
  // A remembered text is given back when it changes: one that lay over the
  // DataHeader would be overwritten by a free block.
  if (position < dataHeaderSize) return err::readData;
  ErrorCode code = readFieldValue(file, position, value);
  if (code != err::ok) return code;
  if (static_cast<ValueType>(value.valueType) != ValueType::Text) return internalError();
  return err::ok;
}

// Stores text as a new standalone entry; none when it is empty or could
// not be stored (the room taken is given back when the write failed).
Position storeText(DataFile& file, const char16_t* text, bool& headerChanged) {
  if (text[0] == 0) return noPosition;
  FieldValue value;
  value.next = noPosition;
  value.fieldId = 0;
  value.valueType = static_cast<std::uint8_t>(ValueType::Text);
  setText(value, text);
  const std::uint32_t size = storedSize(value);
  Position position = noPosition;
  if (allocateSpace(file, size, headerChanged, position) != err::ok) return noPosition;
  const std::vector<std::uint8_t> bytes = encodeFieldEntry(value);
  if (writeAt(file, position, static_cast<std::uint32_t>(bytes.size()), bytes.data()) != err::ok) {
    releaseSpace(file, position, size, headerChanged);
    return noPosition;
  }
  return position;
}

ErrorCode writeHeader(DataFile& file) {
  ErrorCode code = writeDataHeader(file);
  file.headerUnsaved = code != err::ok;
  return code;
}

}  // namespace

ErrorCode readStoredText(DataFile& file, Position position, char16_t* text, std::size_t room) {
  if (room == 0) return internalError();
  text[0] = 0;
  if (position == noPosition) return err::ok;
  FieldValue value;
  ErrorCode code = readTextEntry(file, position, value);
  if (code != err::ok) return code;
  std::size_t i = 0;
  for (; i + 1 < room && i + 1 < value.payload.text.count && value.payload.text.chars[i] != 0; ++i)
    text[i] = value.payload.text.chars[i];
  text[i] = 0;
  return err::ok;
}

ErrorCode replaceStoredTexts(Store& store, const char16_t* number, const char16_t* message) {
  DataFile& file = store.file;
  DataHeader& header = file.header;
  struct Slot {
    Position* position;
    const char16_t* text;
    Stretch old;
  };
  Slot slots[] = {{&header.smsNumberValue, number, {}}, {&header.smsMessageValue, message, {}}};

  bool changed = false;
  bool headerChanged = false;
  for (Slot& slot : slots) {
    if (slot.text == nullptr) continue;
    // The old entry's size, for giving its room back once nothing names
    // it; one that cannot be read is left where it is.
    FieldValue old;
    if (*slot.position != noPosition && readTextEntry(file, *slot.position, old) == err::ok)
      slot.old = Stretch{*slot.position, storedSize(old)};
    *slot.position = storeText(file, slot.text, headerChanged);
    changed = true;
  }
  if (!changed) return err::ok;
  ErrorCode code = writeHeader(file);
  if (code != err::ok) return code;

  headerChanged = false;
  Position released = noPosition;
  for (const Slot& slot : slots) {
    const Position old = slot.old.position;
    // A hostile file may have both texts name one entry: it is given back
    // once, and only when neither names it any more.
    if (old == noPosition || old == released || old == header.smsNumberValue || old == header.smsMessageValue)
      continue;
    if (releaseSpace(file, old, slot.old.size, headerChanged) == err::ok) released = old;
  }
  return headerChanged ? writeHeader(file) : err::ok;
}
