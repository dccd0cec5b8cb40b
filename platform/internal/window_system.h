// The window system's own state: the window table, the top-level z-order,
// focus and activation, the screen's geometry. Only platform files and their
// tests include this; app code sees windows through HWNDs.
//
// An HWND is a number: the window's slot in the table and the slot's
// generation, which grows each time a new window takes the slot. A stale
// handle names a freed slot or an older generation, and a forged one names
// nothing, so both are refused; nothing is ever reached through a pointer the
// caller handed in. A "remote window" (a window of another running instance)
// takes a handle with windowRemoteBit set, which local lookups refuse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win_user.h"

namespace platform::detail {

constexpr std::uintptr_t windowHandleBase = 0x10000;
constexpr std::uintptr_t windowRemoteBit = std::uintptr_t{1} << 40;

enum class WindowKind { Normal, Dialog, MessageBox, MenuBar };

// What a dialog window keeps beside the ordinary window: its procedure, the
// DWL_* values and the modal loop's answer.
struct DialogState {
  DLGPROC proc = nullptr;
  LONG_PTR msgResult = 0;
  LONG_PTR user = 0;
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  HWND savedFocus = nullptr;  // restored when the dialog is activated again
};

struct Window {
  HWND handle = nullptr;
  WindowKind kind = WindowKind::Normal;
  std::u16string className;
  WNDPROC proc = nullptr;
  HBRUSH classBrush = nullptr;
  UINT classStyle = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HINSTANCE instance = nullptr;
  HWND parent = nullptr;  // child windows only
  HWND owner = nullptr;   // top-level windows only (dialogs, bars, boxes)
  std::vector<HWND> children;  // creation order; the first is on top
  RECT rect{};  // in the parent's client coordinates, or the screen's
  std::u16string text;
  HFONT font = nullptr;
  HWND lastFocus = nullptr;  // top-level windows: the focus when deactivated
  bool invalid = false;
  bool eraseNeeded = false;
  bool destroying = false;
  std::unique_ptr<DialogState> dialog;
};

// The live window of a handle, or nullptr for stale, forged or remote ones.
// The pointer is valid until the next call that may destroy windows (any
// message send): callers look the handle up again after sending.
Window* findWindow(HWND handle);
// Adds a window to the table and returns its new handle, or nullptr when
// the table is full.
HWND addWindow(std::unique_ptr<Window> window);
// Frees a window's slot for a later window (the window must already be
// unlinked).
void freeWindow(HWND handle);
// Every live window handle, in creation order.
std::vector<HWND> allWindows();
// How many slots the table holds, live or free: it grows only while more
// windows live at once than ever before (tests).
std::size_t windowSlotCount();

// Top-level windows in z-order, bottom first.
std::vector<HWND>& topLevelOrder();
// The program's main window: the oldest live ordinary top-level window.
HWND mainWindow();

struct FocusState {
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND foreground = nullptr;
};
FocusState& focusState();

// True when `window` is `root`, one of its descendants, or a window owned by
// root or by one of those (a dialog's bar, say).
bool belongsTo(HWND window, HWND root);
// The top-level window holding `window` (itself when top-level).
HWND topLevelOf(HWND window);
// A window's rectangle in screen pixels.
// A window's rectangle from a position and size as callers give them.
// Coordinates are kept within +-2^20 pixels, far beyond any screen, so that
// no sum of a hostile position, a size and the offsets of its parents can
// overflow.
RECT windowRect(int x, int y, int width, int height);
RECT screenRectOf(const Window& window);
// Shown itself and all its ancestors shown.
bool reallyVisible(HWND window);

// ---- The screen --------------------------------------------------------------
struct ScreenGeometry {
  int width = 240;
  int height = 320;
  int dpi = 96;
  int cellWidth = 6;
  int cellHeight = 22;
  int columns = 40;
  int rows = 14;
  RECT titleRow{};    // pixels
  RECT softKeyRow{};  // pixels
  RECT clientArea{};  // between the two rows
};
const ScreenGeometry& screenGeometry();
int scaled(int pixelsAt96);

// Registers the standard control classes the first time any window-system
// call needs them.
void ensureStarted();

// ---- Other running instances -------------------------------------------------
// This process serves other instances while it has top-level windows
// (window_publish.cpp): published when one is created, withdrawn when the
// last one is gone.
void publishInstance();
void withdrawInstanceWhenIdle();
// Serves the requests of other instances that are waiting; true when one of
// them acted on a window (its effects may be queued now).
bool serveOtherInstances();
// Only these messages cross to another process: their parameters are
// numbers or handles, never pointers. Messages from WM_USER on are the
// application's own and cross too (to windows of the application's classes).
bool crossesProcesses(UINT message);

// Windows of other instances (window_remote.cpp), as handles with
// windowRemoteBit set.
bool isRemoteHandle(HWND handle);
// Asks every other instance for its top-level windows (newest first per
// instance) and returns their handles; the same window keeps its handle.
std::vector<HWND> listRemoteTopLevel();
bool remoteClassName(HWND handle, std::u16string* name);
bool remoteWindowAlive(HWND handle);
LRESULT sendToRemote(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
bool postToRemote(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
bool activateRemoteWindow(HWND handle);
void resetRemoteWindows();

// Destroys every window, clears the queue, focus, menus and logs (tests).
void resetWindowState();
// Hooks the other window-system modules run on reset.
void resetQueue();
void resetShell();
void resetGdi();

}  // namespace platform::detail
