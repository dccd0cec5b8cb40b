#include "frontends/terminal/screen_view.h"

#include <curses.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "frontends/terminal/colours.h"
#include "frontends/terminal/keys.h"

namespace terminal {

namespace {

bool inside(int y, int x) { return y >= 0 && x >= 0 && y < LINES && x < COLS; }

void putChar(int y, int x, chtype ch) {
  if (inside(y, x)) mvaddch(y, x, ch);
}

// One terminal cell per phone cell: what cannot be shown in exactly one
// cell becomes '?'.
wchar_t displayable(char16_t ch) {
  if (ch == 0 || ch == u'\t') return L' ';
  if (ch < 0x20 || (ch >= 0xD800 && ch <= 0xDFFF)) return L'?';
  const auto wide = static_cast<wchar_t>(ch);
  return wcwidth(wide) == 1 ? wide : L'?';
}

void drawFrame(int top, int left, int height, int width) {
  const int bottom = top + height - 1;
  const int right = left + width - 1;
  for (int x = left + 1; x < right; ++x) {
    putChar(top, x, ACS_HLINE);
    putChar(bottom, x, ACS_HLINE);
  }
  for (int y = top + 1; y < bottom; ++y) {
    putChar(y, left, ACS_VLINE);
    putChar(y, right, ACS_VLINE);
  }
  putChar(top, left, ACS_ULCORNER);
  putChar(top, right, ACS_URCORNER);
  putChar(bottom, left, ACS_LLCORNER);
  putChar(bottom, right, ACS_LRCORNER);
}

void drawCentred(int y, const std::string& text) {
  if (y < 0 || y >= LINES) return;
  const int length = static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(COLS)));
  mvaddnstr(y, std::max(0, (COLS - length) / 2), text.c_str(), length);
}

// The key map below the phone, its items wrapped onto more lines when the
// terminal is narrow.
void drawHelp(int firstRow) {
  const std::string help = keyHelp();
  std::string line;
  int row = firstRow;
  std::size_t start = 0;
  while (start < help.size() && row < LINES) {
    std::size_t end = help.find("  ", start);
    if (end == std::string::npos) end = help.size();
    const std::string item = help.substr(start, end - start);
    const std::string longer = line.empty() ? item : line + "  " + item;
    if (!line.empty() && static_cast<int>(longer.size()) > COLS) {
      drawCentred(row++, line);
      line = item;
    } else {
      line = longer;
    }
    start = end + 2;
  }
  if (!line.empty()) drawCentred(row, line);
}

}  // namespace

short ScreenView::pairFor(COLORREF foreground, COLORREF background) {
  if (!has_colors()) return 0;
  const int fg = nearestColour(foreground, COLORS);
  const int bg = nearestColour(background, COLORS);
  if (fg < 0 || bg < 0) return 0;
  const auto key = std::make_pair(fg, bg);
  if (const auto it = pairs_.find(key); it != pairs_.end()) return it->second;
  const int limit = std::min(COLOR_PAIRS, static_cast<int>(SHRT_MAX));
  if (nextPair_ >= limit) {  // all pairs used: start over, the next frame repaints everything
    pairs_.clear();
    nextPair_ = 1;
    if (limit <= 1) return 0;
  }
  const short pair = nextPair_++;
  init_pair(pair, static_cast<short>(fg), static_cast<short>(bg));
  pairs_.emplace(key, pair);
  return pair;
}

void ScreenView::draw(const platform::ScreenImage& image) {
  erase();
  const int frameHeight = image.rows + 2;
  const int frameWidth = image.columns + 2;
  const int top = std::max(0, (LINES - frameHeight - 1) / 2);
  const int left = std::max(0, (COLS - frameWidth) / 2);
  drawFrame(top, left, frameHeight, frameWidth);

  const auto cellCount = static_cast<std::size_t>(std::max(0, image.rows)) * static_cast<std::size_t>(std::max(0, image.columns));
  for (int row = 0; row < image.rows; ++row) {
    for (int column = 0; column < image.columns; ++column) {
      const int y = top + 1 + row;
      const int x = left + 1 + column;
      const auto index = static_cast<std::size_t>(row) * static_cast<std::size_t>(image.columns) + static_cast<std::size_t>(column);
      if (!inside(y, x) || index >= cellCount || index >= image.cells.size()) continue;
      const platform::Cell& cell = image.cells[index];
      attr_t attributes = A_NORMAL;
      if (cell.bold) attributes |= A_BOLD;
      if (cell.inverse) attributes |= A_REVERSE;
      const wchar_t text[2] = {displayable(cell.ch), L'\0'};
      cchar_t shown;
      setcchar(&shown, text, attributes, pairFor(cell.foreground, cell.background), nullptr);
      mvadd_wch(y, x, &shown);
    }
  }

  drawHelp(std::min(top + frameHeight, LINES - 1));
  if (frameHeight + 1 > LINES || frameWidth > COLS) {
    drawCentred(0, "Enlarge the terminal to " + std::to_string(frameWidth) + "x" + std::to_string(frameHeight + 1));
  }
}

}  // namespace terminal
