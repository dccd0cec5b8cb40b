#include "storage/database.h"

Database& theDatabase() {
  static Database db;
  return db;
}

void setStartupValues(Database& db) {
  db.mainWindow = nullptr;
  db.listBox = nullptr;
  db.formScrollBar = nullptr;
  db.catalogueBar = db.listBar = db.formBar = db.editBar = nullptr;
  db.boldFont = db.normalFont = db.controlFont = db.buttonFont = nullptr;
  db.savedProcs = SavedProcs{};
  db.highResolution = 0;
  db.isOpen = 0;
  db.filePath[0] = 0;
  db.reserved2 = 0;
  db.password[0] = 0;
  db.headerText[0] = 0;
  db.mailSubject[0] = 0;
  db.mailRecipient[0] = 0;
  db.reserved8 = 0;
  db.readOnly = 0;
  db.screen = Screen::FormView;
  db.file = INVALID_HANDLE_VALUE;
  db.dataBase = noPosition;
  db.dataHeader = DataHeader{};
  db.includedCount = 0;
  db.recordIndex = nullptr;
  db.currentEntry = -1;
  db.currentRecord = noPosition;
  db.currentRecordHeader = RecordHeader{};
  db.currentRecordLoaded = false;
  db.misplacedRecord = noPosition;
  db.dataHeaderUnsaved = false;
  db.recordHeaderUnsaved = false;
  db.pendingReleases.clear();
  for (auto& slot : db.brushCache) slot = BrushSlot{};
  db.backgroundColour = 0xFFFFFF;
  db.backgroundBrush = nullptr;
  db.reserved11 = 0;
  db.itemCount = 0;
  db.currentItem = -1;
  db.formScroll = 0;
}

std::int32_t keyItem(const Database& db) {
  // A stored sortItem outside the layout counts as none.
  if (db.dataHeader.sortItem < static_cast<std::uint32_t>(db.itemCount)) {
    return static_cast<std::int32_t>(db.dataHeader.sortItem);
  }
  for (std::int32_t i = 0; i < db.itemCount; ++i) {
    auto kind = static_cast<ItemKind>(db.items[i].kind);
    if (kind == ItemKind::Field || kind == ItemKind::PickList) return i;
  }
  return -1;
}
