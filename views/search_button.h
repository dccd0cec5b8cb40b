// The SearchButtons of the form: a designer's stored search that marks
// every record included or not.
#pragma once

#include "storage/format.h"

struct Database;

// Runs a button's stored search on the FormView and shows the new current
// record: the one that was current when it still matches, else the nearest
// included one, else the empty form. A button without criteria includes
// every record again. 29 on the Editing screen; 53 for criteria that do not
// fit the layout, before anything changes.
ErrorCode runSearchButton(Database& db, const SearchData& search);
