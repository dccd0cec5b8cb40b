#include "views/opening.h"

#include "storage/checks.h"
#include "storage/database.h"
#include "storage/open.h"
#include "views/commit.h"
#include "views/form.h"
#include "views/password_prompt.h"

HBRUSH brushFor(Database& db, COLORREF colour) {
  if (colour == 0xFFFFFFFF) return nullptr;
  for (auto& slot : db.ui.brushCache)
    if (slot.colour == colour) return slot.brush;
  for (auto& slot : db.ui.brushCache) {
    if (slot.colour != 0xFFFFFFFF) continue;
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush == nullptr) return nullptr;
    slot.colour = colour;
    slot.brush = brush;
    return brush;
  }
  return db.ui.brushCache[0].brush;
}

ErrorCode openDatabase(HWND ownerWindow, Database& db, const char16_t* path) {
  ErrorCode code = openFile(db.store, path, promptPassword, &db);
  if (code != err::ok) return code;

  const Layout& layout = db.store.layout;
  db.ui.backgroundBrush = brushFor(db, layout.backgroundColour);
  db.ui.currentItem = -1;
  for (std::int32_t i = 0; i < layout.itemCount; ++i) {
    const LayoutItem& item = layout.items[i];
    db.ui.items[i] = ItemControls{};
    db.ui.items[i].brush = brushFor(db, item.colour);
    auto kind = static_cast<ItemKind>(item.kind);
    if (db.ui.currentItem < 0 && kind != ItemKind::Label && kind != ItemKind::Calculated) db.ui.currentItem = i;
  }
  db.isOpen = 1;

  code = buildForm(ownerWindow, db, -1);
  if (code == err::ok) code = loadRecordIndex(db);
  if (code != err::ok) closeDatabase(nullptr, db);
  return code;
}

ErrorCode loadRecordIndex(Database& db) {
  if (db.screen != Screen::FormView) return internalError();
  ErrorCode code = commitAndReset(db);
  if (code != err::ok) return code;
  code = loadIndex(db.store);
  if (code != err::ok) return code;

  code = showFirstRecord(db);
  if (code != err::ok) {
    db.store.records.currentRecordHeader.flags &= ~modifiedFlag;
    commitAndReset(db);
    return code;
  }
  return err::ok;
}

ErrorCode commitAndReset(Database& db) {
  if (db.screen == Screen::Catalogue || db.screen == Screen::ListView) return internalError();
  // Also without a pending edit: a DataHeader that an earlier commit could
  // not write must reach the file before the database is let go.
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;
  forgetRecords(db.store);
  return err::ok;
}

ErrorCode closeDatabase(HWND ownerWindow, Database& db) {
  if (!db.isOpen) return err::ok;
  if (ownerWindow != nullptr) {
    ErrorCode code = commitAndReset(db);
    if (code != err::ok) return code;
  }

  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    ItemControls& controls = db.ui.items[i];
    if (controls.control != nullptr) DestroyWindow(controls.control);
    if (controls.spinControl != nullptr) DestroyWindow(controls.spinControl);
    controls = ItemControls{};
  }
  closeFile(db.store);

  if (db.ui.formScrollBar != nullptr) {
    SetScrollRange(db.ui.formScrollBar, SB_CTL, 0, 0, FALSE);
    SetScrollPos(db.ui.formScrollBar, SB_CTL, 0, FALSE);
    ShowWindow(db.ui.formScrollBar, SW_HIDE);
  }
  db.ui.formScroll = 0;
  if (db.ui.listBox != nullptr) ShowWindow(db.ui.listBox, SW_HIDE);

  for (auto& slot : db.ui.brushCache) {
    if (slot.brush != nullptr) DeleteObject(reinterpret_cast<HGDIOBJ>(slot.brush));
    slot = BrushSlot{};
  }
  db.ui.backgroundBrush = brushFor(db, db.store.layout.backgroundColour);
  db.ui.currentItem = -1;
  db.isOpen = 0;
  return err::ok;
}
