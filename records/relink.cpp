#include "records/relink.h"

#include <algorithm>

#include "records/encoding.h"
#include "storage/bytes.h"
#include "storage/primitives.h"
#include "storage/store.h"

namespace {

Position successor(const ChainOrder& chain, std::uint32_t k) {
  return k + 1 < chain.order.size() ? chain.order[k + 1].position : noPosition;
}

Position positionOf(const ChainOrder& chain, std::uint32_t k) { return chain.order[k].position; }

// The header of record k with the given successor.
RecordHeader withSuccessor(const ChainOrder& chain, std::uint32_t k, Position next) {
  RecordHeader header = chain.headers[k];
  header.nextRecord = next;
  return header;
}

// Its successor lies before it in the file.
bool pointsBack(const ChainOrder& chain, std::uint32_t k) {
  const Position next = chain.headers[k].nextRecord;
  return next != noPosition && next < positionOf(chain, k);
}

// What record k holds between the passes: cut when it points back.
RecordHeader between(const ChainOrder& chain, std::uint32_t k) {
  return pointsBack(chain, k) ? withSuccessor(chain, k, noPosition) : chain.headers[k];
}

void storeHeader(std::uint8_t* at, const RecordHeader& header) {
  storeU32(at, header.firstField);
  storeU32(at + 4, header.nextRecord);
  storeU32(at + 8, header.flags);
}

// The records of `ks` in file order, written in runs: each run's bytes read
// as the file holds them, its headers given their new values, and written
// back. Every record of a run tried is logged first.
template <typename NewHeader>
ErrorCode writeRuns(DataFile& file, const ChainOrder& chain, const std::vector<std::uint32_t>& ks,
                    NewHeader newHeader, std::vector<std::uint32_t>& log) {
  std::vector<std::uint8_t> bytes;
  std::size_t first = 0;
  while (first < ks.size()) {
    const Position start = positionOf(chain, ks[first]);
    std::size_t end = first + 1;
    while (end < ks.size() && positionOf(chain, ks[end]) + recordHeaderSize - start <= runBytes) ++end;
    const std::uint32_t length = positionOf(chain, ks[end - 1]) + recordHeaderSize - start;
    for (std::size_t i = first; i < end; ++i) log.push_back(ks[i]);
    bytes.resize(length);
    if (ErrorCode code = readAt(file, start, length, bytes.data())) return code;
    for (std::size_t i = first; i < end; ++i)
      storeHeader(bytes.data() + (positionOf(chain, ks[i]) - start), newHeader(ks[i]));
    if (ErrorCode code = writeAt(file, start, length, bytes.data())) return code;
    first = end;
  }
  return err::ok;
}

std::vector<std::uint32_t> inFileOrder(const ChainOrder& chain) {
  std::vector<std::uint32_t> ks(chain.order.size());
  for (std::uint32_t k = 0; k < ks.size(); ++k) ks[k] = k;
  std::sort(ks.begin(), ks.end(),
            [&](std::uint32_t a, std::uint32_t b) { return positionOf(chain, a) < positionOf(chain, b); });
  return ks;
}

ErrorCode writeOneByOne(DataFile& file, const ChainOrder& chain, RelinkLog& log) {
  // From the last record to the first: the records already written form
  // the end of the new chain, which the old links can only run into.
  for (auto k = static_cast<std::uint32_t>(chain.order.size()); k-- > 0;) {
    const Position next = successor(chain, k);
    if (chain.headers[k].nextRecord == next) continue;
    log.single.push_back(k);
    if (ErrorCode code = writeRecordHeader(file, positionOf(chain, k), withSuccessor(chain, k, next))) return code;
  }
  return err::ok;
}

}  // namespace

ErrorCode writeChain(DataFile& file, const ChainOrder& chain, RelinkLog& log) {
  log = RelinkLog{};
  const std::vector<std::uint32_t> byPosition = inFileOrder(chain);
  for (std::size_t i = 1; i < byPosition.size(); ++i) {
    if (positionOf(chain, byPosition[i]) - positionOf(chain, byPosition[i - 1]) < recordHeaderSize) {
      log.oneByOne = true;
      return writeOneByOne(file, chain, log);
    }
  }
  std::vector<std::uint32_t> cuts;
  std::vector<std::uint32_t> links;
  for (std::uint32_t k : byPosition) {
    if (pointsBack(chain, k)) cuts.push_back(k);
    if (between(chain, k).nextRecord != successor(chain, k)) links.push_back(k);
  }
  ErrorCode code = writeRuns(
      file, chain, cuts, [&](std::uint32_t k) { return withSuccessor(chain, k, noPosition); }, log.cut);
  if (code != err::ok) return code;
  return writeRuns(
      file, chain, links, [&](std::uint32_t k) { return withSuccessor(chain, k, successor(chain, k)); }, log.linked);
}

ErrorCode unwriteChain(DataFile& file, const ChainOrder& chain, const RelinkLog& log) {
  if (log.oneByOne) {
    for (auto it = log.single.rbegin(); it != log.single.rend(); ++it)
      if (ErrorCode code = writeRecordHeader(file, positionOf(chain, *it), chain.headers[*it])) return code;
    return err::ok;
  }
  // Pass 2 undone from the back of the file to the front keeps its rule:
  // final successors before the point, none or later ones after it. Then
  // the cuts are mended; the old links alone make no cycle.
  for (auto it = log.linked.rbegin(); it != log.linked.rend(); ++it)
    if (ErrorCode code = writeRecordHeader(file, positionOf(chain, *it), between(chain, *it))) return code;
  for (auto it = log.cut.rbegin(); it != log.cut.rend(); ++it)
    if (ErrorCode code = writeRecordHeader(file, positionOf(chain, *it), chain.headers[*it])) return code;
  return err::ok;
}
