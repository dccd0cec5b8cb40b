// The phone's standard controls: "STATIC", "EDIT", "BUTTON", "LISTBOX",
// "SCROLLBAR", "SysDateTimePick32" and "msctls_updown32", written as ordinary
// window classes on top of the window system.
//
// Keypad conventions the controls share:
// - The action key clicks a button on WM_CHAR 13 (as the list box's owner
//   sees the action key); its WM_KEYDOWN VK_RETURN is left alone, so that
//   one key press clicks once.
// - Back erases in an edit box on WM_CHAR 8 or WM_KEYDOWN VK_BACK; a key-down
//   followed by its translated WM_CHAR 8 erases once.
// - A date or time picker is edited with digits typed into its focused
//   field, Left/Right move between the fields, Up/Down step the field when
//   they reach the picker, and '*' or '#' toggle the none state of a picker
//   with DTS_SHOWNONE. In the none state the picker shows an empty text.
// - Left/Right on a list box step it through its up-down control, when one
//   has taken the list box as its buddy.
#pragma once

namespace platform {

// Registers the seven classes. Safe to call more than once.
void registerStandardControls();

}  // namespace platform
