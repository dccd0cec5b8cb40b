// "SysDateTimePick32": a date (or, with the time format, a time of day) in the
// phone locale's short format, with the none state of DTS_SHOWNONE.
//
// Keypad editing. The picker's owner often takes Up and Down for itself, so
// digits do the work: digits typed into the focused field set it once the
// field is full (two digits, four for the year) or no further digit could
// fit ("4" in a day field is the 4th), and the next field takes the focus.
// Until then the value is the time with the digits typed so far in their
// field: that is what the picker shows, what DTM_GETSYSTEMTIME answers and
// what the change notice carries, while the digits' own field keeps the
// time they were typed over (so "2" on its way to a year 2024 never clamps
// a 29th of February). Left/Right move between the fields, committing digits
// typed so far; Up and
// Down, when they arrive, step the focused field. '*' or '#' toggles the
// none state; a digit typed in the none state makes the picker valid again.
// Every change made from the keypad reaches the parent as WM_NOTIFY
// DTN_DATETIMECHANGE; DTM_SETSYSTEMTIME changes are not reported.
#include "platform/commctrl.h"
#include "platform/controls/control_support.h"
#include "platform/controls/date_fields.h"
#include "platform/win_base.h"

namespace platform::controls {
namespace {

struct PickerState {
  SYSTEMTIME time{};
  bool valid = true;
  std::vector<PicturePiece> picture;
  bool fourDigitYear = false;
  std::size_t field = 0;  // the focused field, among the editable ones
  std::u16string typed;   // digits typed into it so far
  bool focused = false;
  HFONT font = nullptr;
};

// The date format bits: 0x0C century short date, 0x04 long date, 0x08 time,
// 0x00 short date.
constexpr DWORD kFormatMask = 0x000C;

std::u16string localePicture(LCTYPE type, std::u16string_view fallback) {
  WCHAR buffer[80] = {};
  const int written = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 80);
  if (written <= 1) return std::u16string(fallback);
  return std::u16string(buffer, static_cast<std::size_t>(written - 1));
}

void readFormat(HWND window, PickerState& state) {
  const DWORD format = styleOf(window) & kFormatMask;
  if (format == DTS_TIMEFORMATBIT) {
    state.picture = parsePicture(localePicture(LOCALE_STIMEFORMAT, u"h:mm:ss tt"));
  } else {
    state.picture = parsePicture(localePicture(LOCALE_SSHORTDATE, u"M/d/yyyy"));
  }
  state.fourDigitYear = format == DTS_SHORTDATECENTURYFORMAT;
}

// The focused field's part, if the picture has any field.
bool focusedPart(const PickerState& state, DatePart* part);

// The time with the digits being typed in their field.
SYSTEMTIME effectiveTime(const PickerState& state) {
  SYSTEMTIME time = state.time;
  DatePart part{};
  if (state.typed.empty() || !focusedPart(state, &part)) return time;
  int value = 0;
  for (char16_t digit : state.typed) value = value * 10 + (digit - u'0');
  setPart(time, part, value);
  return time;
}

ShownTime shown(const PickerState& state) {
  return showTime(state.picture, effectiveTime(state), state.fourDigitYear);
}

std::u16string shownText(const PickerState& state) { return state.valid ? shown(state).text : std::u16string(); }

void notifyChange(HWND window, const PickerState& state) {
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  NMDATETIMECHANGE change{};
  const LONG_PTR id = GetWindowLongW(window, GWL_ID);
  change.nmhdr = NMHDR{window, static_cast<UINT_PTR>(id), DTN_DATETIMECHANGE};
  change.dwFlags = static_cast<DWORD>(state.valid ? GDT_VALID : GDT_NONE);
  change.st = effectiveTime(state);
  SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&change));
}

bool focusedPart(const PickerState& state, DatePart* part) {
  const ShownTime now = showTime(state.picture, state.time, state.fourDigitYear);
  if (now.fields.empty()) return false;
  *part = now.fields[std::min(state.field, now.fields.size() - 1)].part;
  return true;
}

// Ends the digits typed into the focused field. The value does not change
// as the owner saw it: the digits already stood in it.
bool commitTyped(PickerState& state) {
  if (state.typed.empty()) return false;
  state.time = effectiveTime(state);
  state.typed.clear();
  return false;
}

void moveField(PickerState& state, int step) {
  const std::size_t count = shown(state).fields.size();
  if (count == 0) return;
  if (step < 0 && state.field > 0) --state.field;
  if (step > 0 && state.field + 1 < count) ++state.field;
}

// A digit key. Returns true when the picker's value or state changed.
bool typeDigit(PickerState& state, char16_t digit) {
  bool changed = false;
  if (!state.valid) {
    state.valid = true;
    state.typed.clear();
    changed = true;
  }
  DatePart part{};
  if (!focusedPart(state, &part) || part == DatePart::AmPm) return changed;
  const SYSTEMTIME before = effectiveTime(state);
  state.typed += digit;
  int value = 0;
  for (char16_t d : state.typed) value = value * 10 + (d - u'0');
  if (state.typed.size() >= digitsOf(part) || value * 10 > largestTyped(part)) {
    state.typed.clear();
    setPart(state.time, part, value);
    moveField(state, +1);
  }
  const SYSTEMTIME after = effectiveTime(state);
  return changed || before.wYear != after.wYear || before.wMonth != after.wMonth || before.wDay != after.wDay ||
         before.wHour != after.wHour || before.wMinute != after.wMinute || before.wSecond != after.wSecond;
}

bool toggleNone(HWND window, PickerState& state) {
  if ((styleOf(window) & DTS_SHOWNONE) == 0) return false;
  commitTyped(state);
  state.valid = !state.valid;
  return true;
}

bool stepField(PickerState& state, int step) {
  bool changed = commitTyped(state);
  if (!state.valid) {
    state.valid = true;
    return true;
  }
  DatePart part{};
  if (focusedPart(state, &part)) changed = stepPart(state.time, part, step) || changed;
  return changed;
}

// Repaints, then tells the parent, which may set the picker again at once.
void afterKey(HWND window, const PickerState& state, bool changed) {
  InvalidateRect(window, nullptr, TRUE);
  if (changed) notifyChange(window, state);
}

LRESULT onKeyDown(HWND window, PickerState& state, WPARAM key, LPARAM lParam) {
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
      const bool changed = commitTyped(state);
      moveField(state, key == VK_RIGHT ? +1 : -1);
      afterKey(window, state, changed);
      return 0;
    }
    case VK_UP:
    case VK_DOWN:
      afterKey(window, state, stepField(state, key == VK_UP ? +1 : -1));
      return 0;
    default:
      return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
  }
}

LRESULT onChar(HWND window, PickerState& state, WPARAM wParam, LPARAM lParam) {
  const auto c = static_cast<char16_t>(wParam);
  if (c >= u'0' && c <= u'9') {
    afterKey(window, state, typeDigit(state, c));
    return 0;
  }
  if (c == u'*' || c == u'#') {
    afterKey(window, state, toggleNone(window, state));
    return 0;
  }
  return DefWindowProcW(window, WM_CHAR, wParam, lParam);
}

LRESULT setSystemTime(HWND window, PickerState& state, WPARAM flag, LPARAM lParam) {
  const auto kind = static_cast<LRESULT>(flag);
  if (kind == GDT_VALID) {
    const auto* time = reinterpret_cast<const SYSTEMTIME*>(lParam);
    if (time == nullptr) return FALSE;
    state.time = *time;
    clampTime(state.time);
    state.valid = true;
  } else if (kind == GDT_NONE) {
    // The none state keeps the time it had.
    if ((styleOf(window) & DTS_SHOWNONE) == 0) return FALSE;
    state.valid = false;
  } else {
    return FALSE;
  }
  state.typed.clear();
  InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

void paintPicker(HWND window, const PickerState& state) {
  const Painter painter(window, WM_CTLCOLOREDIT, state.font, true);
  const RECT& client = painter.client();
  if (!state.valid) {
    if (state.focused) {
      painter.invert(client, 0, 1);
    }
    return;
  }
  ShownTime now = shown(state);
  if (now.fields.empty()) {
    painter.text(now.text, client, DT_LEFT);
    return;
  }
  FieldSpan field = now.fields[std::min(state.field, now.fields.size() - 1)];
  // Digits being typed stand in the focused field until it is complete.
  if (state.focused && !state.typed.empty()) {
    now.text.replace(field.start, field.length, state.typed);
    field.length = state.typed.size();
  }
  painter.text(now.text, client, DT_LEFT);
  if (state.focused) {
    painter.invert(client, static_cast<int>(field.start), static_cast<int>(field.length));
  }
}

}  // namespace

LRESULT datePickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<PickerState>(window)) return -1;
    PickerState* created = stateOf<PickerState>(window);
    GetLocalTime(&created->time);
    clampTime(created->time);
    readFormat(window, *created);
    return 0;
  }
  PickerState* state = stateOf<PickerState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (auto answer = stateAndFont(window, *state, message, wParam, lParam)) return *answer;

  switch (message) {
    case DTM_SETSYSTEMTIME:
      return setSystemTime(window, *state, wParam, lParam);
    case DTM_GETSYSTEMTIME: {
      auto* out = reinterpret_cast<SYSTEMTIME*>(lParam);
      if (out == nullptr) return GDT_ERROR;
      *out = effectiveTime(*state);
      return state->valid ? GDT_VALID : GDT_NONE;
    }
    case WM_GETTEXT:
      return copyOut(shownText(*state), wParam, lParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(shownText(*state).size());
    case WM_SETTEXT:
      return FALSE;  // the picker's text follows its value only
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      return onKeyDown(window, *state, wParam, lParam);
    case WM_CHAR:
      return onChar(window, *state, wParam, lParam);
    case WM_SETFOCUS:
      state->focused = true;
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS: {
      state->focused = false;
      afterKey(window, *state, commitTyped(*state));
      return 0;
    }
    case WM_ENABLE:
    case WM_SIZE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      paintPicker(window, *state);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::controls
