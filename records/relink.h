// Writing a new order of the record chain into the file: every RecordHeader
// gets the successor the order gives it, in a sequence of writes after each
// of which (and inside each of which) the chain from the DataHeader still
// walks without a cycle. The DataHeader itself is the caller's to write.
//
// Relinking a sorted column touches nearly every header, and a write per
// header would make the system calls the whole cost of a sort. So the
// headers are written in runs of the file, each run one read and one write
// of up to runBytes bytes (the bytes between the headers written back as
// the file holds them), in two passes:
//  1. cut: every header whose successor lies before it in the file gets
//     none for a successor. Taking links away never makes a cycle.
//  2. link: the headers whose final value differs from the file's get it,
//     from the front of the file to its back.
// During pass 2 every header before the point reached holds its final
// successor (the next record in the new order), and every header after it
// holds none or a successor further on in the file. A cycle would need a
// header of the second kind, and from there the links only lead further
// on: there is none. Records that the chain no longer reaches when a write
// fails are cut off, never looped back to.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/format.h"
#include "storage/record_set.h"

struct DataFile;

// The successor of order[k] is order[k + 1]; headers[k] is order[k]'s
// header as the file holds it.
struct ChainOrder {
  const std::vector<RecordIndexEntry>& order;
  const std::vector<RecordHeader>& headers;
};

// What a relink has written (or tried to), so that it can be undone.
struct RelinkLog {
  bool oneByOne = false;              // headers written one at a time
  std::vector<std::uint32_t> single;  // one at a time: the headers written, in order
  std::vector<std::uint32_t> cut;     // by runs: the headers of runs tried in pass 1
  std::vector<std::uint32_t> linked;  // by runs: the headers of runs tried in pass 2
};

constexpr std::uint32_t runBytes = 64 * 1024;

// Writes the order's links. Headers that overlap one another in the file
// (a damaged file) are written one at a time, from the last record of the
// order to the first, as their bytes would otherwise depend on the pass.
// 15 or 16 from the reads and writes; the log says what to undo.
ErrorCode writeChain(DataFile& file, const ChainOrder& chain, RelinkLog& log);

// Puts back what the log says was written, through the same states in the
// opposite order, one header at a time.
ErrorCode unwriteChain(DataFile& file, const ChainOrder& chain, const RelinkLog& log);
