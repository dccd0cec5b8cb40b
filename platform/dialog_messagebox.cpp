// Message boxes: a framed box on top of the screen whose buttons are the
// soft keys (left: OK or Yes; right: Cancel or No). The action key answers
// the left button; Back answers Cancel or No (OK for MB_OK).
#include <map>
#include <vector>

#include "platform/emulator.h"
#include "platform/internal/internal_classes.h"
#include "platform/internal/message_loop.h"
#include "platform/internal/shell.h"
#include "platform/internal/window_system.h"

using namespace platform::detail;

namespace {

struct BoxInfo {
  std::u16string text;
  UINT type = MB_OK;
};
std::map<HWND, BoxInfo>& boxes() {
  static std::map<HWND, BoxInfo> b;
  return b;
}

struct Answers {
  int left, right, back;  // right 0: no right button
};
Answers answersOf(UINT type) {
  switch (type & 0xF) {
    case MB_OK: return {IDOK, 0, IDOK};
    case MB_YESNO: return {IDYES, IDNO, IDNO};
    default: return {IDOK, IDCANCEL, IDCANCEL};
  }
}

// The icon, shown as a symbol in front of the text.
std::u16string iconOf(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR: return u"(X) ";
    case MB_ICONQUESTION: return u"(?) ";
    case MB_ICONEXCLAMATION: return u"(!) ";
    case MB_ICONINFORMATION: return u"(i) ";
    default: return u"";
  }
}

// Breaks a text into lines of at most `width` characters, at spaces where
// it can, at line breaks always.
std::vector<std::u16string> wrap(const std::u16string& text, std::size_t width) {
  std::vector<std::u16string> lines;
  if (width == 0) return lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(u'\n', start);
    std::u16string paragraph = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
    std::erase(paragraph, u'\r');
    while (paragraph.size() > width) {
      std::size_t cut = paragraph.rfind(u' ', width);
      if (cut == std::u16string::npos || cut == 0) cut = width;
      lines.push_back(paragraph.substr(0, cut));
      paragraph.erase(0, cut);
      if (!paragraph.empty() && paragraph.front() == u' ') paragraph.erase(0, 1);
    }
    lines.push_back(paragraph);
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return lines;
}

// The box spans the screen less one column each side; its text has one
// column of padding inside the frame.
std::size_t innerWidth() { return static_cast<std::size_t>(std::max(1, screenGeometry().columns - 6)); }

std::vector<std::u16string> boxLines(const BoxInfo& box) { return wrap(iconOf(box.type) + box.text, innerWidth()); }

void answer(HWND box, int result) {
  Window* w = findWindow(box);
  if (w == nullptr || !w->dialog || result == 0) return;
  w->dialog->ended = true;
  w->dialog->result = result;
}

void paintBox(HWND window) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(window, &ps);
  const Window* w = findWindow(window);
  auto it = boxes().find(window);
  if (dc != nullptr && w != nullptr && it != boxes().end()) {
    const auto& g = screenGeometry();
    const int columns = (w->rect.right - w->rect.left) / g.cellWidth;
    std::vector<std::u16string> lines = boxLines(it->second);
    std::vector<std::u16string> rows;
    // Top frame with the caption.
    std::u16string top = u"\u250C";
    if (!w->text.empty()) top += u"\u2500 " + w->text + u" ";
    while (static_cast<int>(top.size()) < columns - 1) top += u"\u2500";
    top.resize(static_cast<std::size_t>(std::max(columns - 1, 1)));
    rows.push_back(top + u"\u2510");
    for (const auto& line : lines) {
      std::u16string row = u"\u2502 " + line;
      while (static_cast<int>(row.size()) < columns - 1) row += u' ';
      rows.push_back(row + u"\u2502");
    }
    std::u16string bottom = u"\u2514";
    while (static_cast<int>(bottom.size()) < columns - 1) bottom += u"\u2500";
    rows.push_back(bottom + u"\u2518");
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      RECT r{0, static_cast<LONG>(i) * g.cellHeight, columns * g.cellWidth, static_cast<LONG>(i + 1) * g.cellHeight};
      DrawTextW(dc, rows[i].c_str(), -1, &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  EndPaint(window, &ps);
}

}  // namespace

namespace platform::detail {

LRESULT messageBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = boxes().find(window);
  switch (message) {
    case WM_KEYDOWN:
      if (it == boxes().end()) return 0;
      if (wParam == VK_TSOFT1 || wParam == VK_TACTION) answer(window, answersOf(it->second.type).left);
      if (wParam == VK_TSOFT2) answer(window, answersOf(it->second.type).right);
      if (wParam == VK_TBACK) answer(window, answersOf(it->second.type).back);
      return 0;
    case WM_PAINT: paintBox(window); return 0;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      return 1;
    }
    case WM_CLOSE:
      if (it != boxes().end()) answer(window, answersOf(it->second.type).back);
      return 0;
    case WM_DESTROY: boxes().erase(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool messageBoxLabels(HWND box, std::u16string* left, std::u16string* right) {
  auto it = boxes().find(box);
  if (it == boxes().end()) return false;
  switch (it->second.type & 0xF) {
    case MB_OK: *left = u"OK"; right->clear(); break;
    case MB_YESNO: *left = u"Yes"; *right = u"No"; break;
    default: *left = u"OK"; *right = u"Cancel"; break;
  }
  return true;
}

}  // namespace platform::detail

namespace {
std::vector<std::u16string>& shownBoxes() {
  static std::vector<std::u16string> texts;
  return texts;
}
}  // namespace

const std::vector<std::u16string>& platform::messageBoxesShown() { return shownBoxes(); }
void platform::clearMessageBoxesShown() { shownBoxes().clear(); }

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  ensureStarted();
  shownBoxes().push_back(text != nullptr ? std::u16string(text) : std::u16string());
  owner = topLevelOf(owner);
  BoxInfo info{text != nullptr ? std::u16string(text) : std::u16string(), type};
  const auto& g = screenGeometry();
  const int lines = static_cast<int>(boxLines(info).size());
  const int clientRows = (g.clientArea.bottom - g.clientArea.top) / g.cellHeight;
  const int boxRows = std::min(lines + 2, clientRows);
  const int topRow = std::max(0, (clientRows - boxRows) / 2);
  HWND box = CreateWindowExW(0, messageBoxClassName, caption != nullptr ? caption : u"", WS_POPUP, g.cellWidth,
                             g.clientArea.top + topRow * g.cellHeight, (g.columns - 2) * g.cellWidth,
                             boxRows * g.cellHeight, owner, nullptr, nullptr, nullptr);
  Window* w = findWindow(box);
  if (w == nullptr) return 0;
  w->dialog = std::make_unique<DialogState>();
  w->dialog->modal = true;
  boxes()[box] = std::move(info);

  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(box);
  if (!runModalLoop(box)) {
    // The user left or no input is coming: the Back answer.
    if (auto it = boxes().find(box); it != boxes().end()) answer(box, answersOf(it->second.type).back);
  }
  if (ownerWasEnabled && findWindow(owner) != nullptr) EnableWindow(owner, TRUE);
  w = findWindow(box);
  int result = (w != nullptr && w->dialog && w->dialog->ended) ? static_cast<int>(w->dialog->result) : IDCANCEL;
  if (w != nullptr) DestroyWindow(box);
  return result;
}
