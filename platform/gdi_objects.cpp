// GDI objects: solid brushes, fonts, the stock objects, DeleteObject.
//
// Object handles are numbers into a table that is never reused, so a
// deleted or forged handle is refused.
#include <algorithm>
#include <memory>
#include <variant>
#include <vector>

#include "platform/internal/gdi.h"
#include "platform/internal/window_system.h"

namespace platform::detail {

namespace {

constexpr std::uintptr_t objectHandleBase = std::uintptr_t{1} << 36;

struct BrushObject {
  COLORREF colour = 0;
};
using GdiObject = std::variant<BrushObject, FontInfo>;

struct ObjectSlot {
  GdiObject object;
  bool live = true;
  bool stock = false;
};

struct Objects {
  std::vector<ObjectSlot> slots;
  HGDIOBJ whiteBrush = nullptr;
  HGDIOBJ blackBrush = nullptr;
};
Objects& objects() {
  static Objects o;
  return o;
}

HGDIOBJ addObject(GdiObject object, bool stock = false) {
  auto& slots = objects().slots;
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(objectHandleBase + slots.size());
  slots.push_back(ObjectSlot{std::move(object), true, stock});
  return h;
}

ObjectSlot* findSlot(const void* handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < objectHandleBase) return nullptr;
  std::uintptr_t index = value - objectHandleBase;
  auto& slots = objects().slots;
  if (index >= slots.size() || !slots[index].live) return nullptr;
  return &slots[index];
}

}  // namespace

bool brushColour(HBRUSH brush, COLORREF* colour) {
  ObjectSlot* slot = findSlot(brush);
  if (slot == nullptr) return false;
  const auto* b = std::get_if<BrushObject>(&slot->object);
  if (b == nullptr) return false;
  if (colour != nullptr) *colour = b->colour;
  return true;
}

const FontInfo* findFont(HFONT font) {
  ObjectSlot* slot = findSlot(font);
  return slot != nullptr ? std::get_if<FontInfo>(&slot->object) : nullptr;
}

}  // namespace platform::detail

using namespace platform::detail;

HBRUSH CreateSolidBrush(COLORREF colour) {
  return reinterpret_cast<HBRUSH>(addObject(BrushObject{colour & 0xFFFFFF}));
}

HGDIOBJ GetStockObject(int object) {
  auto& o = objects();
  if (object == WHITE_BRUSH) {
    if (o.whiteBrush == nullptr) o.whiteBrush = addObject(BrushObject{RGB(255, 255, 255)}, true);
    return o.whiteBrush;
  }
  if (object == BLACK_BRUSH) {
    if (o.blackBrush == nullptr) o.blackBrush = addObject(BrushObject{RGB(0, 0, 0)}, true);
    return o.blackBrush;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  ObjectSlot* slot = findSlot(object);
  if (slot == nullptr) return FALSE;
  if (!slot->stock) slot->live = false;
  return TRUE;
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (font == nullptr) return nullptr;
  FontInfo info;
  std::size_t n = 0;
  while (n < LF_FACESIZE && font->lfFaceName[n] != 0) ++n;
  info.face.assign(font->lfFaceName, n);
  info.height = font->lfHeight;
  info.weight = font->lfWeight;
  return reinterpret_cast<HFONT>(addObject(std::move(info)));
}

LONG GetDialogBaseUnits() {
  // The emulated font's average character: 6 x 13 pixels at 96 dpi.
  return static_cast<LONG>(MAKELONG(static_cast<WORD>(scaled(6)), static_cast<WORD>(scaled(13))));
}

int GetDeviceCaps(HDC, int index) {
  if (index == LOGPIXELSX || index == LOGPIXELSY) return screenGeometry().dpi;
  return 0;
}
