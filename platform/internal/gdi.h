// Drawing on the phone's character screen: GDI objects, device contexts and
// the cell grid they paint into.
//
// A device context is a canvas over the screen's cells with a pixel origin
// (its window's client corner) and a clip rectangle (the part of the window
// its ancestors leave visible), both in screen pixels. A pixel rectangle
// covers the cells whose centres lie inside it; a text is drawn on the row
// that holds the vertical centre of its rectangle.
#pragma once

#include <string>
#include <string_view>

#include "platform/phone.h"
#include "platform/win_user.h"

namespace platform::detail {

struct FontInfo {
  std::u16string face;
  LONG height = 0;
  LONG weight = FW_NORMAL;
  bool bold() const { return weight >= FW_BOLD; }
};

// Colour of a live brush (false for anything else).
bool brushColour(HBRUSH brush, COLORREF* colour);
// Description of a live font, or nullptr.
const FontInfo* findFont(HFONT font);

// The cells every device context paints into, sized to the screen.
ScreenImage& screenBuffer();
void clearScreenBuffer();

// A device context over a window (null: the whole screen).
HDC openDC(HWND window);
void closeDC(HDC dc);

// Writes a text into the cells of one row directly, clipped to the screen
// (used by the renderer for the title, soft-key row, boxes and menus).
void putText(int column, int row, std::u16string_view text, bool inverse = false, bool bold = false);
void setRowInverse(int row, bool inverse);

// Cell spans a pixel span covers: [first, last).
int firstCoveredCell(int pixel, int cellSize);

}  // namespace platform::detail
