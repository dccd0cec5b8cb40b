// What every standard control needs: its per-window state, notifications to
// its parent, the character screen's cell size, and painting with the
// colours its parent hands out.
#pragma once

#include <optional>

#include <new>
#include <string>
#include <string_view>

#include "platform/win_user.h"

namespace platform::controls {

// Window procedures of the seven classes (registered by controls.cpp).
LRESULT staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT scrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT datePickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT upDownProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Private messages between a list box and the up-down control that has it
// as its buddy. They lie in the range of the controls' own messages, above
// anything the app sends.
// Up-down -> list box: wParam is the up-down (0 to forget it).
constexpr UINT LBM_SETSPINNER = WM_USER + 0x7F00;
// List box -> up-down: step the buddy's selection by wParam (+1 or -1,
// as a signed value).
constexpr UINT UDM_STEPBUDDY = WM_USER + 0x7F01;

// ---- Per-window state -------------------------------------------------------
// Each control keeps a state struct in GWL_USERDATA: made at WM_CREATE,
// freed at WM_DESTROY. Messages before WM_CREATE find no state.
template <class State>
State* stateOf(HWND window) {
  return reinterpret_cast<State*>(GetWindowLongW(window, GWL_USERDATA));
}
template <class State>
bool attachState(HWND window) {
  State* state = new (std::nothrow) State{};
  if (state == nullptr) return false;
  SetWindowLongW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return true;
}
template <class State>
void detachState(HWND window) {
  delete stateOf<State>(window);
  SetWindowLongW(window, GWL_USERDATA, 0);
}

// Answers what every control with a font treats alike: WM_DESTROY frees
// its state, WM_SETFONT and WM_GETFONT keep the font it draws with. nullopt
// for any other message.
template <class State>
std::optional<LRESULT> stateAndFont(HWND window, State& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      detachState<State>(window);
      return 0;
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(static_cast<std::uintptr_t>(lParam)) != 0) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(state.font);
    default:
      return std::nullopt;
  }
}

DWORD styleOf(HWND window);
// WM_COMMAND (MAKEWPARAM(id, code), window) to the parent.
void notifyParent(HWND window, WORD code);
// The creation text of a WM_CREATE, or the text of a WM_SETTEXT.
std::u16string textParam(LPCWSTR text);
std::u16string creationText(LPARAM createStruct);
// Copies text into a WM_GETTEXT buffer of `size` units; returns the units
// copied, terminator excluded.
LRESULT copyOut(std::u16string_view text, WPARAM size, LPARAM buffer);
// A caption with its '&' mnemonic markers taken out ("&&" keeps one '&').
std::u16string withoutMnemonics(std::u16string_view caption);

// ---- The character screen -----------------------------------------------------
// Cells are 6 x 22 pixels at 96 dpi, scaled with the dpi. A rectangle covers
// the cells whose centres lie inside it; a single-line text stands on the row
// that holds the vertical centre of its rectangle.
struct CellSize {
  int width = 6;
  int height = 22;
};
CellSize cellSize(HDC dc);

// Where a window's client area lies on the cell grid.
struct TextGrid {
  POINT origin{};  // the client area's top-left corner in screen pixels
  CellSize cell{};
};
TextGrid textGridOf(HWND window, HDC dc);
TextGrid textGridOf(HWND window);
RECT clientRectOf(HWND window);
// Columns (rows) that the client span [from, to) covers, at least 1.
int columnsCovered(const TextGrid& grid, LONG from, LONG to);
int rowsCovered(const TextGrid& grid, LONG from, LONG to);
// A rectangle that covers exactly `count` cells of the text row of `area`,
// starting `firstColumn` cells after the text's first column: what to invert
// for a caret, a selection or a selected row.
RECT textCells(const TextGrid& grid, const RECT& area, int firstColumn, int count);
// The rectangle of the index-th text row that `area` covers (all of `area`
// when it covers no row's centre).
RECT textRow(const TextGrid& grid, const RECT& area, int index);

// ---- Painting ------------------------------------------------------------------
// One paint pass: BeginPaint, the parent's colours for the control
// (ctlColorMessage; a null answer means white), the background filled, the
// control's font selected. EndPaint on destruction.
//
// With keepErased, a background that the window erased itself when
// BeginPaint sent WM_ERASEBKGND (an owner filling its own brush) is kept:
// it is not filled again and text is drawn transparently over it.
class Painter {
 public:
  Painter(HWND window, UINT ctlColorMessage, HFONT font, bool keepErased = false);
  ~Painter();
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  HDC dc() const { return paint_.hdc; }
  const RECT& client() const { return client_; }
  const TextGrid& grid() const { return grid_; }
  CellSize cell() const { return grid_.cell; }
  // Single-line text in `area`, on the row through its vertical centre.
  void text(std::u16string_view text, RECT area, UINT align) const;
  // Inverts `count` cells of the text row of `area` (see textCells).
  void invert(const RECT& area, int firstColumn, int count) const;

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  RECT client_{};
  TextGrid grid_{};
  HGDIOBJ oldFont_ = nullptr;
};

}  // namespace platform::controls
