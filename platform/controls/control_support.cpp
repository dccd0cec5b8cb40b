#include "platform/controls/control_support.h"

#include <algorithm>

namespace platform::controls {

DWORD styleOf(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

void notifyParent(HWND window, WORD code) {
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  const WORD id = LOWORD(static_cast<std::uintptr_t>(GetWindowLongW(window, GWL_ID)));
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(window));
}

std::u16string textParam(LPCWSTR text) {
  if (text == nullptr || IS_INTRESOURCE(text)) return {};
  return std::u16string(text);
}

std::u16string creationText(LPARAM createStruct) {
  const auto* create = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
  return create == nullptr ? std::u16string() : textParam(create->lpszName);
}

LRESULT copyOut(std::u16string_view text, WPARAM size, LPARAM buffer) {
  auto* out = reinterpret_cast<WCHAR*>(buffer);
  if (out == nullptr || size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size) - 1);
  std::copy_n(text.data(), count, out);
  out[count] = u'\0';
  return static_cast<LRESULT>(count);
}

std::u16string withoutMnemonics(std::u16string_view caption) {
  std::u16string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

namespace {

int floorDiv(LONG a, int b) { return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b)); }
// The first cell whose centre lies at or after `pixel`.
int firstCoveredCell(LONG pixel, int size) { return -floorDiv(-(pixel - size / 2), size); }

}  // namespace

CellSize cellSize(HDC dc) {
  int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dpi <= 0) dpi = 96;
  return CellSize{std::max(1, 6 * dpi / 96), std::max(1, 22 * dpi / 96)};
}

TextGrid textGridOf(HWND window, HDC dc) {
  TextGrid grid;
  ClientToScreen(window, &grid.origin);
  grid.cell = cellSize(dc);
  return grid;
}

TextGrid textGridOf(HWND window) {
  HDC dc = GetDC(window);
  const TextGrid grid = textGridOf(window, dc);
  if (dc != nullptr) ReleaseDC(window, dc);
  return grid;
}

RECT clientRectOf(HWND window) {
  RECT rc{};
  GetClientRect(window, &rc);
  return rc;
}

int columnsCovered(const TextGrid& grid, LONG from, LONG to) {
  const int w = grid.cell.width;
  return std::max(1, firstCoveredCell(grid.origin.x + to, w) - firstCoveredCell(grid.origin.x + from, w));
}

int rowsCovered(const TextGrid& grid, LONG from, LONG to) {
  const int h = grid.cell.height;
  return std::max(1, firstCoveredCell(grid.origin.y + to, h) - firstCoveredCell(grid.origin.y + from, h));
}

RECT textCells(const TextGrid& grid, const RECT& area, int firstColumn, int count) {
  const int w = grid.cell.width;
  const int h = grid.cell.height;
  // The text row and first column as the drawing calls find them, then a
  // one-pixel line through the centres of the wanted cells.
  const LONG screenTop = grid.origin.y + area.top;
  const LONG screenBottom = grid.origin.y + area.bottom;
  const int row = floorDiv((screenTop + screenBottom) / 2, h);
  const int column = firstCoveredCell(grid.origin.x + area.left, w) + firstColumn;
  const LONG left = static_cast<LONG>(column) * w + w / 2 - grid.origin.x;
  const LONG top = static_cast<LONG>(row) * h + h / 2 - grid.origin.y;
  return RECT{left, top, left + static_cast<LONG>(count) * w, top + 1};
}

RECT textRow(const TextGrid& grid, const RECT& area, int index) {
  const int h = grid.cell.height;
  const int first = firstCoveredCell(grid.origin.y + area.top, h);
  if (firstCoveredCell(grid.origin.y + area.bottom, h) <= first) return area;
  const LONG top = static_cast<LONG>(first + index) * h - grid.origin.y;
  return RECT{area.left, top, area.right, top + h};
}

Painter::Painter(HWND window, UINT ctlColorMessage, HFONT font, bool keepErased) : window_(window) {
  BeginPaint(window, &paint_);
  const bool erasedByWindow = keepErased && paint_.fErase == FALSE;
  GetClientRect(window, &client_);
  grid_ = textGridOf(window, paint_.hdc);
  HBRUSH brush = nullptr;
  if (HWND parent = GetParent(window)) {
    brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, ctlColorMessage,
                                                   reinterpret_cast<WPARAM>(paint_.hdc),
                                                   reinterpret_cast<LPARAM>(window)));
  }
  if (brush == nullptr) {
    brush = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    SetBkColor(paint_.hdc, RGB(255, 255, 255));
  }
  if (erasedByWindow) {
    SetBkMode(paint_.hdc, TRANSPARENT);
  } else {
    FillRect(paint_.hdc, &client_, brush);
  }
  if (font != nullptr) oldFont_ = SelectObject(paint_.hdc, reinterpret_cast<HGDIOBJ>(font));
}

Painter::~Painter() {
  if (oldFont_ != nullptr) SelectObject(paint_.hdc, oldFont_);
  EndPaint(window_, &paint_);
}

void Painter::text(std::u16string_view text, RECT area, UINT align) const {
  if (text.empty()) return;
  DrawTextW(paint_.hdc, text.data(), static_cast<int>(text.size()), &area,
            align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void Painter::invert(const RECT& area, int firstColumn, int count) const {
  if (count <= 0) return;
  const RECT cells = textCells(grid_, area, firstColumn, count);
  InvertRect(paint_.hdc, &cells);
}

}  // namespace platform::controls
