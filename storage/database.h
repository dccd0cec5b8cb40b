// The Database: the one context of the program. Every operation of storage,
// records, views, shell and commands receives it. It is statically
// allocated with room for the largest layout; only the RecordIndex lives on
// the heap.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/windows.h"
#include "storage/data_cache.h"
#include "storage/format.h"

// Screens, equal to the CommandIds that lead to them.
enum class Screen : std::uint16_t {
  Catalogue = 202,
  ListView = 236,
  FormView = 237,
  Editing = 238,
};

struct RecordIndexEntry {
  Position position = noPosition;    // the record's RecordHeader
  std::uint32_t flags = 0;           // bit 0: included
  std::int32_t listRow = -1;         // row in the ListView's list box, -1 when not listed
  Position keyPosition = noPosition; // the record's FieldEntry for keyItem
};
constexpr std::uint32_t includedFlag = 1;

// A stretch of the data area: where it starts and how long it is.
struct Stretch {
  Position position = noPosition;
  std::uint32_t size = 0;
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

struct Database {
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
  std::uint32_t isOpen = 0;
  char16_t filePath[room::filePath] = {};
  std::uint32_t reserved2 = 0;  // header field 2, kept 0
  char16_t password[room::password] = {};
  char16_t headerText[room::headerText] = {};
  char16_t mailSubject[room::mailSubject] = {};
  char16_t mailRecipient[room::mailRecipient] = {};
  std::uint8_t reserved8 = 0;  // header field 8
  std::uint8_t readOnly = 0;
  Screen screen = Screen::FormView;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::uint32_t dataBase = noPosition;  // file offset of the data area
  DataHeader dataHeader;
  std::uint32_t includedCount = 0;
  RecordIndexEntry* recordIndex = nullptr;  // dataHeader.recordCount entries
  std::int32_t currentEntry = -1;
  Position currentRecord = noPosition;
  RecordHeader currentRecordHeader;
  // False until a record has been shown in full: a commit never writes
  // the controls of a half-loaded record into the file.
  bool currentRecordLoaded = false;
  // A record whose key was stored but which could not be moved to its
  // sorted place; the next commit of it tries again.
  Position misplacedRecord = noPosition;
  // The DataHeader in memory differs from the file's: a write failed.
  bool dataHeaderUnsaved = false;
  // The current record's RecordHeader in memory differs from the file's: a
  // write failed, and the next commit writes it even when no value changed.
  bool recordHeaderUnsaved = false;
  // Stretches the current record gave up (replaced or emptied entries),
  // given back only once the RecordHeader in the file no longer leads to
  // them; a release that fails waits for the next commit.
  std::vector<Stretch> pendingReleases;
  BrushSlot brushCache[brushCacheSize];
  COLORREF backgroundColour = 0xFFFFFF;
  HBRUSH backgroundBrush = nullptr;
  std::uint32_t reserved11 = 0;  // header field 11, kept 0
  std::int32_t itemCount = 0;
  std::int32_t currentItem = -1;
  std::int32_t formScroll = 0;
  LayoutItem items[maxItems];
  DataCache dataCache;
};

// The program's one Database.
Database& theDatabase();

// Start-up values of every field (handles none, file closed, screen FormView).
void setStartupValues(Database& db);

// The item whose values order and label the records: sortItem when set,
// otherwise the first Field or PickList item, otherwise -1.
std::int32_t keyItem(const Database& db);
