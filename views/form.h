// The form: one control per layout item, showing the current record.
#pragma once

#include <cstdint>

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// Form geometry in pixels at the Database's resolution.
int formScaled(const Database& db, int layoutUnits);
int leftMargin(const Database& db);
int lineGap(const Database& db);
int controlHeight(const Database& db);

// Replaces a control's window procedure by proc; the first procedure
// replaced in a class is kept in saved, for proc to hand messages on.
void subclassControl(HWND window, WNDPROC proc, WNDPROC& saved);

ErrorCode buildForm(HWND owner, Database& db, std::int32_t recalculationIndex);
ErrorCode showRecord(Database& db);
ErrorCode showFirstRecord(Database& db);
ErrorCode prepareFormView(Database& db, bool discard);
ErrorCode prepareEditing(Database& db);
void clearControl(Database& db, std::int32_t index);
// Shows a Date or Time value in a picker (the none state for no value).
void showCalendarValue(const FieldValue& value, HWND control);
void showCalendarValue(const LayoutItem& item, HWND control);

// The selected row's RecordIndex entry on the ListView becomes current.
ErrorCode selectListedRecord(Database& db);
