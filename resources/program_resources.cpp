// The program's menus, soft-key bars, dialog templates and icon.
#include "resources/program_resources.h"

#include <cstdint>

#include "platform/resource_data.h"
#include "platform/win_user.h"
#include "resources/ids.h"
#include "resources/string_table.h"

namespace res {

namespace {

using platform::DialogItemData;
using platform::DialogTemplateData;
using platform::IconData;
using platform::MenuData;
using platform::MenuItemData;
using platform::PopupData;
using platform::ResourceSet;
using platform::SoftKeyBarData;

// ---- Menus ----------------------------------------------------------------
constexpr MenuItemData recordItems[] = {
    {cmdDial, u"Dial"}, {cmdNew, u"New"},       {cmdDuplicate, u"Duplicate"},   {cmdEdit, u"Edit"},
    {cmdSearch, u"Search"}, {cmdSort, u"Sort"}, {cmdDeleteRecord, u"Delete"},
};
constexpr MenuItemData catalogueItems[] = {
    {cmdOpen, u"Open"}, {cmdDeleteDatabase, u"Delete"}, {cmdEmail, u"Email"}, {cmdClose, u"Close"},
};
constexpr PopupData recordPopups[] = {{u"Menu", recordItems}};
constexpr PopupData cataloguePopups[] = {{u"Menu", catalogueItems}};
constexpr MenuData menus[] = {
    {res::recordMenu, recordPopups},
    {res::catalogueMenu, cataloguePopups},
};

// ---- Soft-key bars ----------------------------------------------------------
constexpr std::uint16_t none = 0xFFFE;
constexpr std::uint16_t noPopup = 0xFFFF;
constexpr std::uint16_t enabled = 4;
constexpr std::uint16_t text = 0x10;
constexpr std::uint16_t textPopup = 0x18;

constexpr std::uint16_t catalogueBar[] = {
    res::catalogueMenu, 2,
    none, cmdOpen, enabled, text, str::open, 0, noPopup,
    none, cmdMenu, enabled, textPopup, str::menu, 0, 0,
};
constexpr std::uint16_t listBar[] = {
    res::recordMenu, 2,
    none, cmdDial, enabled, text, str::dial, 0, noPopup,
    none, cmdMenu, enabled, textPopup, str::menu, 0, 0,
};
constexpr std::uint16_t formBar[] = {
    res::recordMenu, 2,
    none, cmdDial, enabled, text, str::dial, 0, noPopup,
    none, cmdMenu, enabled, textPopup, str::menu, 0, 0,
};
constexpr std::uint16_t editBar[] = {
    res::recordMenu, 2,
    none, cmdDone, enabled, text, str::done, 0, noPopup,
    none, cmdCancel, enabled, text, str::cancel, 0, noPopup,
};
constexpr std::uint16_t dialogBar[] = {
    res::recordMenu, 2,
    none, IDOK, enabled, text, str::ok, 0, noPopup,
    none, IDCANCEL, enabled, text, str::cancel, 0, noPopup,
};
constexpr SoftKeyBarData bars[] = {
    {res::catalogueBar, catalogueBar}, {res::listBar, listBar}, {res::formBar, formBar},
    {res::editBar, editBar},           {res::dialogBar, dialogBar},
};

// ---- Dialogs ------------------------------------------------------------------
constexpr DWORD dialogStyle = 0x90C00000;  // pop-up, visible, caption
constexpr DWORD labelStyle = 0x50020000;   // child, visible, group

// 150: one list box filling the dialog ("Pick Column", "Search For",
// "Send SMS" hide or use it).
constexpr DialogItemData listItems[] = {
    {res::listBoxId, u"LISTBOX", u"", 0x50210101, 0, 0, 160, 160},
};
// 151: the e-mail dialog.
constexpr DialogItemData emailItems[] = {
    {-1, u"STATIC", u"Service:", labelStyle, 2, 2, 97, 8},
    {res::emailServiceId, u"LISTBOX", u"", 0x50010101, 2, 10, 97, 12},
    {res::emailSpinnerId, u"msctls_updown32", u"", 0x50000077, 0, 0, 0, 0},
    {-1, u"STATIC", u"To:", labelStyle, 2, 22, 71, 8},
    {res::emailRecipientsId, u"EDIT", u"", 0x50030080, 2, 30, 97, 12},
    {-1, u"STATIC", u"Subject:", labelStyle, 2, 42, 97, 8},
    {res::emailSubjectId, u"EDIT", u"", 0x50030080, 2, 50, 97, 12},
    {-1, u"STATIC", u"Message:", labelStyle, 2, 62, 97, 8},
    {res::messageEditId, u"EDIT", u"", 0x50030080, 2, 70, 97, 12},
};
// 152: the password prompt.
constexpr DialogItemData passwordItems[] = {
    {-1, u"STATIC", u"&Password:", labelStyle, 5, 5, 91, 8},
    {res::passwordEditId, u"EDIT", u"", 0x500300A0, 5, 15, 91, 12},
};
constexpr DialogTemplateData dialogs[] = {
    {res::listDialog, dialogStyle, u"Pick Column", 0, 0, 160, 160, listItems},
    {res::emailDialog, dialogStyle, u"Email", 0, 0, 101, 84, emailItems},
    {res::passwordDialog, dialogStyle, u"Enter Password", 0, 0, 99, 31, passwordItems},
};

// ---- Icon -----------------------------------------------------------------------
// A 4 x 4 picture of a card index, one byte per pixel: enough for a phone
// that shows the program's icon as its name.
constexpr std::uint8_t appIcon[] = {
    1, 1, 1, 1,
    1, 0, 0, 1,
    1, 1, 1, 1,
    1, 0, 0, 1,
};
constexpr IconData icons[] = {{res::appIcon, appIcon}};

}  // namespace

void registerProgramResources() {
  static const ResourceSet resources{dialogs, menus, bars, icons, stringTable()};
  platform::setProgramResources(&resources);
}

}  // namespace res
