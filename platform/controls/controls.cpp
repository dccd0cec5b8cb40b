#include "platform/controls/controls.h"

#include "platform/commctrl.h"
#include "platform/controls/control_support.h"

namespace platform {

void registerStandardControls() {
  struct ClassEntry {
    LPCWSTR name;
    WNDPROC proc;
  };
  static constexpr ClassEntry kClasses[] = {
      {u"STATIC", controls::staticProc},        {u"EDIT", controls::editProc},
      {u"BUTTON", controls::buttonProc},        {u"LISTBOX", controls::listBoxProc},
      {u"SCROLLBAR", controls::scrollBarProc},  {DATETIMEPICK_CLASSW, controls::datePickerProc},
      {UPDOWN_CLASSW, controls::upDownProc},
  };
  for (const ClassEntry& entry : kClasses) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = entry.proc;
    wc.lpszClassName = entry.name;
    // A class that is already registered stays as it is.
    RegisterClassW(&wc);
  }
}

}  // namespace platform
