// The Database: the one context of the program. Every operation of storage,
// records, views, shell and commands receives it. It is statically
// allocated with room for the largest layout; only the RecordIndex lives on
// the heap.
#pragma once

#include <cstdint>

#include "platform/windows.h"
#include "storage/store.h"

// Screens, equal to the CommandIds that lead to them.
enum class Screen : std::uint16_t {
  Catalogue = 202,
  ListView = 236,
  FormView = 237,
  Editing = 238,
};

struct BrushSlot {
  COLORREF colour = 0xFFFFFFFF;  // 0xFFFFFFFF: free
  HBRUSH brush = nullptr;
};
constexpr int brushCacheSize = 64;

// Window procedures that the form and the list replace, one per class.
struct SavedProcs {
  WNDPROC button = nullptr;
  WNDPROC edit = nullptr;
  WNDPROC datePicker = nullptr;
  WNDPROC checkBox = nullptr;
  WNDPROC pickList = nullptr;
  WNDPROC listBox = nullptr;
};

// The form's windows of one layout item.
struct ItemControls {
  HWND control = nullptr;
  HWND spinControl = nullptr;
  HBRUSH brush = nullptr;
  // A pick list keeps its stored text until the user picks another row:
  // a stored text that matches no choice is shown as the first choice.
  bool selectionChanged = false;
};

// Everything on the screen: windows, fonts, brushes and the focus.
struct Ui {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  HWND listBox = nullptr;
  HWND formScrollBar = nullptr;
  HWND catalogueBar = nullptr;
  HWND listBar = nullptr;
  HWND formBar = nullptr;
  HWND editBar = nullptr;
  HFONT boldFont = nullptr;
  HFONT normalFont = nullptr;
  HFONT controlFont = nullptr;
  HFONT buttonFont = nullptr;
  SavedProcs savedProcs;
  std::uint32_t highResolution = 0;
  BrushSlot brushCache[brushCacheSize];
  HBRUSH backgroundBrush = nullptr;
  std::int32_t currentItem = -1;  // the item whose control has the focus
  std::int32_t formScroll = 0;
  ItemControls items[maxItems];   // one per layout item
};

// The Database: the store's part (file, layout, records) and the screen's.
struct Database {
  Store store;
  Ui ui;
  Screen screen = Screen::FormView;
  std::uint32_t isOpen = 0;
};

// The program's one Database.
Database& theDatabase();

// Start-up values of every field (handles none, file closed, screen FormView).
void setStartupValues(Database& db);
