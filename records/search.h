// Finding records by their values: the key search of the Search command,
// which looks for a value among the sorted keys, and the stored searches
// of SearchButtons, which mark every record included or not. Navigation,
// the record list, the key search and the choice of a record after a
// delete consider only included records; the marks are never stored.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct Layout;
struct RecordSet;
struct Store;

// True when part occurs in text, ignoring case one unit at a time. An
// empty text contains nothing; an empty part is in every other text.
bool containsText(const char16_t* text, const char16_t* part);

// The included entry nearest to `from` among count entries: the first at
// or after it, else the last before it; -1 when none is included. A `from`
// of -1 (no current record) asks for the first included entry.
std::int32_t nearestIncluded(const RecordSet& records, std::uint32_t count, std::int32_t from);

// 53 when a criterion cannot be evaluated against the layout: an operator
// outside 10..16, an item outside the layout, "any Text item" with another
// operator than contains, a contains criterion on a value that is no text,
// or a comparison whose constant is not of its item's type.
ErrorCode checkCriteria(const Layout& layout, const SearchData& search);

// Evaluates the search for every record, then marks each included or not
// and counts them. Without criteria every record is included. The current
// entry stays when it is included, otherwise the nearest included one
// becomes current (the first one when there was none); with none included
// there is no current record. Only the store's records change, and only
// once every record was evaluated: a failure (53 from checkCriteria, 15 from
// a record that cannot be read, 27) leaves marks and current record as they
// were. The caller commits a pending edit first and shows the new current
// record afterwards.
ErrorCode markRecords(Store& store, const SearchData& search);

// The key search: the first included entry whose key is not below probe
// (a FieldValue of the sort item's type). 28 without a sort order, 26 when
// no included entry has such a key.
ErrorCode findKey(Store& store, const FieldValue& probe, std::int32_t& entry);
