// The text renderer: paints every visible window into the cell grid and
// adds what the shell draws itself (title row, open menu, soft-key row).
//
// Windows paint themselves through WM_ERASEBKGND and WM_PAINT with a device
// context on the screen: top-level windows from the bottom of the z-order
// up (so dialogs and message boxes come last), each followed by its visible
// children, the first-created child last, since it is on top.
#include <algorithm>

#include "platform/internal/gdi.h"
#include "platform/internal/shell.h"
#include "platform/internal/window_system.h"
#include "platform/phone.h"
#include "platform/text.h"

using namespace platform::detail;

namespace {

void paintTree(HWND window, int depth) {
  Window* w = findWindow(window);
  if (w == nullptr || (w->style & WS_VISIBLE) == 0 || depth > 64) return;
  w->eraseNeeded = true;
  SendMessageW(window, WM_PAINT, 0, 0);
  w = findWindow(window);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  for (auto it = children.rbegin(); it != children.rend(); ++it) paintTree(*it, depth + 1);
}

void drawTitle() {
  const auto& g = screenGeometry();
  HWND active = GetActiveWindow();
  if (active == nullptr) active = mainWindow();
  const Window* w = findWindow(active);
  std::u16string title = w != nullptr ? w->text : std::u16string();
  for (int c = 0; c < g.columns; ++c) putText(c, 0, u" ", true);
  putText(0, 0, title, true, true);
}

void drawSoftKeys() {
  const auto& g = screenGeometry();
  std::u16string left, right;
  HWND active = GetActiveWindow();
  const Window* a = findWindow(active);
  if (openMenu().open) {
    left = u"Select";
    right = u"Cancel";
  } else if (a != nullptr && a->kind == WindowKind::MessageBox) {
    messageBoxLabels(active, &left, &right);
  } else if (const SoftKeyBar* bar = findBar(activeBar())) {
    if (!bar->keys.empty()) left = bar->keys[0].label;
    if (bar->keys.size() > 1) right = bar->keys[1].label;
  }
  const int row = g.rows - 1;
  for (int c = 0; c < g.columns; ++c) putText(c, row, u" ", true);
  putText(0, row, left, true);
  putText(std::max(0, g.columns - static_cast<int>(right.size())), row, right, true);
}

// The open menu: a framed list above the soft-key row at the right, its
// items numbered, the selected one inverse.
void drawMenu() {
  const OpenMenu& m = openMenu();
  if (!m.open || m.items.empty()) return;
  if (findWindow(m.owner) == nullptr) {
    closeMenu();  // its window went away
    return;
  }
  const auto& g = screenGeometry();
  std::vector<std::u16string> labels;
  std::size_t width = 0;
  for (std::size_t i = 0; i < m.items.size(); ++i) {
    std::u16string label = i < 9 ? std::u16string(1, static_cast<char16_t>(u'1' + i)) + u" " : u"  ";
    label += m.items[i].text;
    width = std::max(width, label.size());
    labels.push_back(std::move(label));
  }
  width = std::min<std::size_t>(width, static_cast<std::size_t>(std::max(1, g.columns - 4)));
  const int boxWidth = static_cast<int>(width) + 4;
  const int maxVisible = std::max(1, g.rows - 4);
  const int count = static_cast<int>(labels.size());
  const int visible = std::min(count, maxVisible);
  const int first = std::clamp(m.selected - visible + 1, 0, count - visible);
  const int bottomRow = g.rows - 2;
  const int topRow = bottomRow - visible - 1;
  const int left = g.columns - boxWidth;
  std::u16string line(static_cast<std::size_t>(boxWidth - 2), u'\u2500');
  putText(left, topRow, u"\u250C" + line + u"\u2510");
  putText(left, bottomRow, u"\u2514" + line + u"\u2518");
  for (int i = 0; i < visible; ++i) {
    const int index = first + i;
    std::u16string text = labels[static_cast<std::size_t>(index)].substr(0, width);
    text.resize(width, u' ');
    const int row = topRow + 1 + i;
    putText(left, row, u"\u2502 ");
    putText(left + 2, row, text, index == m.selected);
    putText(left + 2 + static_cast<int>(width), row, u" \u2502");
  }
}

}  // namespace

namespace platform {

std::string ScreenImage::text() const {
  std::string out;
  for (int row = 0; row < rows; ++row) {
    std::u16string line;
    for (int column = 0; column < columns; ++column) {
      char16_t c = at(column, row).ch;
      line.push_back(c == 0 ? u' ' : c);
    }
    out += toUtf8(line);
    out += '\n';
  }
  return out;
}

ScreenImage renderScreen() {
  ensureStarted();
  clearScreenBuffer();
  std::vector<HWND> order = topLevelOrder();
  for (HWND h : order) {
    const Window* w = findWindow(h);
    if (w == nullptr || w->kind == WindowKind::MenuBar) continue;
    paintTree(h, 0);
  }
  drawTitle();
  drawMenu();
  drawSoftKeys();
  return screenBuffer();
}

}  // namespace platform
