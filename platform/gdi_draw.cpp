// Device contexts and the drawing calls on the cell grid.
#include <algorithm>
#include <vector>

#include "platform/internal/gdi.h"
#include "platform/internal/window_system.h"

namespace platform::detail {

namespace {

constexpr std::uintptr_t dcHandleBase = std::uintptr_t{1} << 44;

struct DeviceContext {
  POINT origin{};
  RECT clip{};
  COLORREF background = RGB(255, 255, 255);
  COLORREF foreground = RGB(0, 0, 0);
  int bkMode = OPAQUE;
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  std::uint32_t generation = 0;
  bool live = false;
};

struct Canvas {
  std::vector<DeviceContext> dcs;
  ScreenImage screen;
};
Canvas& canvas() {
  static Canvas c;
  return c;
}

DeviceContext* findDC(HDC handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & dcHandleBase) == 0) return nullptr;
  value &= ~dcHandleBase;
  std::size_t index = value & 0xFFFF;
  auto generation = static_cast<std::uint32_t>(value >> 16);
  auto& dcs = canvas().dcs;
  if (index >= dcs.size() || !dcs[index].live || dcs[index].generation != generation) return nullptr;
  return &dcs[index];
}

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int ceilDiv(int a, int b) { return -floorDiv(-a, b); }

RECT intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// The cells a rectangle (screen pixels) covers, limited to the screen. A
// rectangle lower than a row that holds no row's centre (a control scrolled
// by an odd number of pixels) still takes the row of its own centre, so
// that no control vanishes from the screen.
struct CellSpan {
  int firstColumn, endColumn, firstRow, endRow;
};
CellSpan cellsOf(const RECT& r) {
  const auto& g = screenGeometry();
  CellSpan s{firstCoveredCell(r.left, g.cellWidth), firstCoveredCell(r.right, g.cellWidth),
             firstCoveredCell(r.top, g.cellHeight), firstCoveredCell(r.bottom, g.cellHeight)};
  if (s.endRow <= s.firstRow && r.bottom > r.top) {
    s.firstRow = floorDiv((r.top + r.bottom) / 2, g.cellHeight);
    s.endRow = s.firstRow + 1;
  }
  s.firstColumn = std::clamp(s.firstColumn, 0, g.columns);
  s.endColumn = std::clamp(s.endColumn, 0, g.columns);
  s.firstRow = std::clamp(s.firstRow, 0, g.rows);
  s.endRow = std::clamp(s.endRow, 0, g.rows);
  return s;
}

Cell* cellAt(int column, int row) {
  ScreenImage& s = screenBuffer();
  if (column < 0 || row < 0 || column >= s.columns || row >= s.rows) return nullptr;
  return &s.cells[static_cast<std::size_t>(row * s.columns + column)];
}

RECT toScreen(const DeviceContext& dc, const RECT& r) {
  return RECT{r.left + dc.origin.x, r.top + dc.origin.y, r.right + dc.origin.x, r.bottom + dc.origin.y};
}

// The text as drawn: "&x" shows x, "&&" shows &, tabs become spaces.
std::u16string shownText(std::u16string_view text, bool prefixes) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (prefixes && c == u'&' && i + 1 < text.size()) c = text[++i];
    if (c == u'\t') c = u' ';
    out.push_back(c);
  }
  return out;
}

}  // namespace

int firstCoveredCell(int pixel, int cellSize) { return ceilDiv(pixel - cellSize / 2, cellSize); }

ScreenImage& screenBuffer() {
  auto& s = canvas().screen;
  const auto& g = screenGeometry();
  if (s.columns != g.columns || s.rows != g.rows) {
    s.columns = g.columns;
    s.rows = g.rows;
    s.cells.assign(static_cast<std::size_t>(g.columns * g.rows), Cell{});
  }
  return s;
}

void clearScreenBuffer() {
  ScreenImage& s = screenBuffer();
  std::fill(s.cells.begin(), s.cells.end(), Cell{});
}

HDC openDC(HWND window) {
  const auto& g = screenGeometry();
  DeviceContext dc;
  dc.clip = RECT{0, 0, g.width, g.height};
  if (const Window* w = findWindow(window)) {
    RECT r = screenRectOf(*w);
    dc.origin = POINT{r.left, r.top};
    dc.clip = intersect(dc.clip, r);
    int depth = 0;  // parent chains are short; the bound only guards the walk
    for (const Window* p = findWindow(w->parent); p != nullptr && depth++ < 256; p = findWindow(p->parent))
      dc.clip = intersect(dc.clip, screenRectOf(*p));
  }
  dc.live = true;
  auto& dcs = canvas().dcs;
  std::size_t index = 0;
  while (index < dcs.size() && dcs[index].live) ++index;
  if (index >= 0xFFFF) return nullptr;  // a program that never releases its DCs
  if (index == dcs.size()) dcs.push_back(DeviceContext{});
  dc.generation = dcs[index].generation + 1;
  dcs[index] = dc;
  return reinterpret_cast<HDC>(dcHandleBase | (static_cast<std::uintptr_t>(dc.generation) << 16) | index);
}

void closeDC(HDC handle) {
  if (DeviceContext* dc = findDC(handle)) dc->live = false;
}

void putText(int column, int row, std::u16string_view text, bool inverse, bool bold) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    Cell* cell = cellAt(column + static_cast<int>(i), row);
    if (cell == nullptr) continue;
    cell->ch = text[i];
    cell->inverse = inverse;
    cell->bold = bold;
  }
}

void setRowInverse(int row, bool inverse) {
  ScreenImage& s = screenBuffer();
  for (int c = 0; c < s.columns; ++c)
    if (Cell* cell = cellAt(c, row)) cell->inverse = inverse;
}

}  // namespace platform::detail

using namespace platform::detail;
using platform::Cell;

int FillRect(HDC handle, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = findDC(handle);
  COLORREF colour = 0;
  if (dc == nullptr || rect == nullptr || !brushColour(brush, &colour)) return 0;
  CellSpan s = cellsOf(intersect(toScreen(*dc, *rect), dc->clip));
  for (int row = s.firstRow; row < s.endRow; ++row)
    for (int column = s.firstColumn; column < s.endColumn; ++column)
      if (Cell* cell = cellAt(column, row)) *cell = Cell{u' ', colour, cell->foreground, false, false};
  return 1;
}

COLORREF SetBkColor(HDC handle, COLORREF colour) {
  DeviceContext* dc = findDC(handle);
  if (dc == nullptr) return 0xFFFFFFFF;
  COLORREF old = dc->background;
  dc->background = colour & 0xFFFFFF;
  return old;
}

COLORREF SetTextColor(HDC handle, COLORREF colour) {
  DeviceContext* dc = findDC(handle);
  if (dc == nullptr) return 0xFFFFFFFF;
  COLORREF old = dc->foreground;
  dc->foreground = colour & 0xFFFFFF;
  return old;
}

int SetBkMode(HDC handle, int mode) {
  DeviceContext* dc = findDC(handle);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  DeviceContext* dc = findDC(handle);
  if (dc == nullptr) return nullptr;
  if (findFont(reinterpret_cast<HFONT>(object)) != nullptr) {
    HGDIOBJ old = reinterpret_cast<HGDIOBJ>(dc->font);
    dc->font = reinterpret_cast<HFONT>(object);
    return old;
  }
  if (brushColour(reinterpret_cast<HBRUSH>(object), nullptr)) {
    HGDIOBJ old = reinterpret_cast<HGDIOBJ>(dc->brush);
    dc->brush = reinterpret_cast<HBRUSH>(object);
    return old;
  }
  return nullptr;
}

// Single-line texts stand on the row of the rectangle's vertical centre;
// texts with line breaks (without DT_SINGLELINE) start on its first row.
// Each line is aligned within the columns the rectangle covers and cut at
// its edges and at the clip.
int DrawTextW(HDC handle, LPCWSTR text, int count, RECT* rect, UINT format) {
  DeviceContext* dc = findDC(handle);
  if (dc == nullptr || text == nullptr || rect == nullptr) return 0;
  std::u16string_view raw = count < 0 ? std::u16string_view(text) : std::u16string_view(text, static_cast<std::size_t>(count));
  std::u16string shown = shownText(raw, (format & DT_NOPREFIX) == 0);

  std::vector<std::u16string> lines;
  if ((format & DT_SINGLELINE) != 0) {
    std::replace(shown.begin(), shown.end(), u'\n', u' ');
    std::erase(shown, u'\r');
    lines.push_back(shown);
  } else {
    std::size_t start = 0;
    for (;;) {
      std::size_t end = shown.find(u'\n', start);
      std::u16string line = shown.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
      std::erase(line, u'\r');
      lines.push_back(line);
      if (end == std::u16string::npos) break;
      start = end + 1;
    }
  }

  const auto& g = screenGeometry();
  const RECT area = toScreen(*dc, *rect);
  CellSpan span = cellsOf(area);
  CellSpan clip = cellsOf(dc->clip);
  int row = lines.size() == 1 ? floorDiv((area.top + area.bottom) / 2, g.cellHeight) : span.firstRow;
  const int width = span.endColumn - span.firstColumn;
  const FontInfo* font = findFont(dc->font);
  const bool bold = font != nullptr && font->bold();
  for (const auto& line : lines) {
    if (row >= clip.firstRow && row < clip.endRow && row >= 0 && row < g.rows) {
      int length = static_cast<int>(line.size());
      int start = span.firstColumn;
      if ((format & DT_CENTER) != 0) {
        start += std::max(0, (width - length) / 2);
      } else if ((format & DT_RIGHT) != 0) {
        start += std::max(0, width - length);
      }
      for (int i = 0; i < length; ++i) {
        int column = start + i;
        if (column >= span.endColumn) break;
        if (column < clip.firstColumn || column >= clip.endColumn) continue;
        Cell* cell = cellAt(column, row);
        if (cell == nullptr) continue;
        cell->ch = line[static_cast<std::size_t>(i)];
        cell->foreground = dc->foreground;
        cell->bold = bold;
        if (dc->bkMode == OPAQUE) cell->background = dc->background;
      }
    }
    ++row;
  }
  return static_cast<int>(lines.size()) * g.cellHeight;
}

BOOL InvertRect(HDC handle, const RECT* rect) {
  DeviceContext* dc = findDC(handle);
  if (dc == nullptr || rect == nullptr) return FALSE;
  CellSpan s = cellsOf(intersect(toScreen(*dc, *rect), dc->clip));
  for (int row = s.firstRow; row < s.endRow; ++row)
    for (int column = s.firstColumn; column < s.endColumn; ++column)
      if (Cell* cell = cellAt(column, row)) cell->inverse = !cell->inverse;
  return TRUE;
}

// As on Win32, the focus rectangle is an exclusive-or: it inverts the cells
// it covers, and drawing it twice removes it.
BOOL DrawFocusRect(HDC dc, const RECT* rect) { return InvertRect(dc, rect); }
