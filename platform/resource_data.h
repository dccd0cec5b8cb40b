// The program's resources as the platform reads them: dialog templates,
// menus, soft-key bars, icons and the string table. The program hands them
// over once at start-up (setProgramResources); the data itself lives in
// the program's resources/, which the platform never links.
#pragma once

#include <cstdint>
#include <span>

#include "platform/win_types.h"

namespace platform {

// One control of a dialog template; positions in dialog units.
struct DialogItemData {
  int id;  // -1: none
  const char16_t* className;
  const char16_t* text;
  DWORD style;
  short x, y, cx, cy;
};

struct DialogTemplateData {
  unsigned id;
  DWORD style;
  const char16_t* caption;
  short x, y, cx, cy;
  std::span<const DialogItemData> items;
};

struct MenuItemData {
  WORD commandId;
  const char16_t* text;
};
// A menu is a row of pop-ups; soft-key bars open them by index.
struct PopupData {
  const char16_t* text;
  std::span<const MenuItemData> items;
};
struct MenuData {
  unsigned id;
  std::span<const PopupData> popups;
};

// A soft-key bar as 16-bit words: the menu id, the button count, then seven
// words per button: image (0xFFFE none), command id, state (4 enabled),
// style (0x10 text, 0x18 text opening a pop-up), string id of the text, 0,
// pop-up index in the menu (0xFFFF none).
struct SoftKeyBarData {
  unsigned id;
  std::span<const std::uint16_t> words;
};

struct IconData {
  unsigned id;
  std::span<const std::uint8_t> bytes;
};

struct StringData {
  unsigned id;
  const char16_t* text;
};

struct ResourceSet {
  std::span<const DialogTemplateData> dialogs;
  std::span<const MenuData> menus;
  std::span<const SoftKeyBarData> bars;
  std::span<const IconData> icons;
  std::span<const StringData> strings;
};

// The resources every lookup below reads; until they are set (or after
// nullptr) the program has none.
void setProgramResources(const ResourceSet* resources);

// Lookups by id (nullptr when the program has no such resource).
const DialogTemplateData* findDialogTemplate(unsigned id);
const MenuData* findMenu(unsigned id);
const SoftKeyBarData* findSoftKeyBar(unsigned id);
const IconData* findIcon(unsigned id);
const char16_t* findString(unsigned id);

}  // namespace platform
