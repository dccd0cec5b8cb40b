// Opening a tsq file into a Store, loading its RecordIndex, and letting it
// go again. No window is touched: the screen's half of opening a database
// (brushes, the form) is the views' own.
#pragma once

#include "storage/format.h"
#include "storage/layout.h"

struct Store;

// Opens path for reading and writing without sharing and reads its header
// and layout; on success the file is open and dataBase set. 15 for a path
// over its room, a file that cannot be opened, or a layout that cannot be
// read; 25, 33 as the layout reader gives them. On failure nothing is open.
ErrorCode openFile(Store& store, const char16_t* path, PasswordCheck checkPassword, void* context);

// Reads the DataHeader and walks the record chain into the RecordIndex,
// every record included, no record current. A chain shorter than
// recordCount gives the records it has; one that revisits a record, or
// walks further than the data area can hold, is 15.
ErrorCode loadIndex(Store& store);

// Forgets the records: the DataHeader, the RecordIndex and the current
// record. dataBase stays: it was fixed when the file was opened.
void forgetRecords(Store& store);

// Closes the file and forgets everything read from it. Writes nothing.
void closeFile(Store& store);
