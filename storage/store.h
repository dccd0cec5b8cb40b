// The part of the program's context that the store works on: the open
// file, its header and layout, and the records in memory. Nothing here
// knows of windows; the tsq tool holds a Store of its own.
#pragma once

#include "storage/data_file.h"
#include "storage/layout.h"
#include "storage/record_set.h"

struct Store {
  DataFile file;
  Layout layout;
  RecordSet records;
};
