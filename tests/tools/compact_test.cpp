// tsq compact: the data area packed, everything it holds kept.
#include "tools/tsq/compact.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "platform/emulator.h"
#include "platform/text.h"
#include "records/encoding.h"
#include "records/record_store.h"
#include "storage/open.h"
#include "storage/store.h"
#include "tests/tools/tsq_commands.h"
#include "tools/tsq/check.h"
#include "tools/tsq/values.h"

namespace {

using tsq::Json;
using tsq_test::Outcome;

enum Item { NameItem, QtyItem, NoteItem, DayItem, PaidItem };

Json definition() {
  Json json = Json::parse(R"({"items": [
      {"kind": "Field", "caption": "Name"},
      {"kind": "Field", "caption": "Qty", "valueType": "Integer"},
      {"kind": "Field", "caption": "Note"},
      {"kind": "Field", "caption": "Day", "valueType": "Date"},
      {"kind": "CheckBox", "caption": "Paid"}],
    "sortItem": "Name", "smsNumber": "+44 20 7946 0000", "smsMessage": "On my way",
    "reserved": {"dataHeader": 5}, "records": []})");
  for (int i = 0; i < 40; ++i) {
    Json record = {{"Name", "name " + std::to_string(i)}, {"Qty", i}, {"Note", std::string(i % 7, 'n')}};
    if (i % 5 == 0) record["_flags"] = 3;
    json["records"].push_back(record);
  }
  return json;
}

// The values one commit stores: item index -> value.
using Edit = std::map<int, FieldValue>;

ErrorCode readEdit(void* context, std::int32_t index, FieldValue& fresh, bool& hasValue) {
  const Edit& edit = *static_cast<const Edit*>(context);
  auto found = edit.find(index);
  hasValue = found != edit.end();
  if (hasValue) fresh.payload = found->second.payload;
  return err::ok;
}

// Edits as the program makes them, through the record store: texts that
// grow and shrink, re-keyed names, values cleared, new records.
void editAtRandom(const std::filesystem::path& path, int edits) {
  auto store = std::make_unique<Store>();
  std::u16string widePath = platform::fromUtf8(path.string());
  ASSERT_EQ(openFile(*store, widePath.c_str(), nullptr, nullptr), err::ok);
  ASSERT_EQ(loadIndex(*store), err::ok);
  std::mt19937 random(7);
  for (int n = 0; n < edits; ++n) {
    RecordSet& records = store->records;
    const bool fresh = random() % 6 == 0;
    records.currentEntry = fresh ? -1 : static_cast<std::int32_t>(random() % store->file.header.recordCount);
    records.currentRecord = fresh ? noPosition : records.index[records.currentEntry].position;
    // A new record starts from an empty header, as New makes one.
    if (fresh) records.currentRecordHeader = RecordHeader{};
    ASSERT_EQ(loadRecordValues(*store), err::ok) << "edit " << n << " entry " << records.currentEntry << " at " << records.currentRecord;
    records.currentRecordLoaded = true;
    records.currentRecordHeader.flags |= modifiedFlag;
    Edit edit;
    auto value = [&](int item) -> FieldValue& {
      FieldValue& v = edit[item] = store->layout.items[item].value;
      resetValue(v);
      return v;
    };
    if (fresh || random() % 3 == 0)
      setText(value(NameItem), platform::fromUtf8("name " + std::to_string(random() % 1000)).c_str());
    if (random() % 2 == 0) value(QtyItem).payload.integer = static_cast<std::int32_t>(random() % 5);  // 0 clears
    if (random() % 2 == 0) setText(value(NoteItem), std::u16string(random() % 30, u'x').c_str());
    if (random() % 4 == 0) {
      FieldValue& day = value(DayItem);
      day.payload.calendar.noValue = random() % 2;
      day.payload.calendar.time = SYSTEMTIME{2024, 5, 0, static_cast<WORD>(1 + random() % 28), 0, 0, 0, 0};
    }
    if (random() % 4 == 0) value(PaidItem).payload.yesNo = random() % 2;
    ASSERT_EQ(saveRecord(*store, readEdit, &edit, 1), err::ok) << "edit " << n;
  }
  closeFile(*store);
}

std::vector<std::string> problemsOf(const std::filesystem::path& path) {
  tsq::TsqFile file;
  EXPECT_EQ(tsq::openTsqFile(path.string(), file), err::ok);
  return file.layout ? tsq::checkFile(file) : std::vector<std::string>{"unreadable"};
}

// A record as its stored bytes: flags, then each entry's column and payload.
std::vector<std::string> recordsOf(const DatabaseImage& image) {
  std::vector<std::string> records;
  for (const RecordImage& record : image.records) {
    std::string text = std::to_string(record.flags);
    for (const FieldValue& value : record.values)
      text += " " + std::to_string(value.fieldId) + ":" + std::to_string(value.valueType) + "=" +
              tsq::hexText(tsq::payloadOf(value));
    records.push_back(text);
  }
  return records;
}

class CompactCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = tsq_test::scratchFolder();
    database = folder / "db.tsq";
    tsq_test::createFile(database, definition());
  }
  void TearDown() override { platform::clearFileFaults(); }
  Outcome compact() {
    return tsq_test::runCommand([&](tsq::Console& console) { return tsq::compactCommand(database.string(), console); });
  }
  std::filesystem::path folder;
  std::filesystem::path database;
};

TEST_F(CompactCommand, AfterHundredsOfEditsKeepsEverythingInLessRoom) {
  editAtRandom(database, 300);
  ASSERT_EQ(problemsOf(database), std::vector<std::string>{});
  const auto before = tsq_test::readBytes(database);
  const DatabaseImage edited = tsq_test::imageOfFile(database);
  tsq::TsqFile file;
  ASSERT_EQ(tsq::openTsqFile(database.string(), file), err::ok);
  const std::uint32_t dataBase = file.dataBase;
  ASSERT_NE(tsq::readDataHeader(file.data()).freeList, noPosition) << "the edits left no free space";

  Outcome run = compact();
  ASSERT_EQ(run.status, tsq::exitDone) << run.err;
  const auto after = tsq_test::readBytes(database);
  EXPECT_LT(after.size(), before.size());
  EXPECT_EQ(run.out, database.string() + ": " + std::to_string(before.size() - after.size()) + " bytes saved (" +
                         std::to_string(before.size()) + " -> " + std::to_string(after.size()) + " bytes)\n");
  EXPECT_EQ(problemsOf(database), std::vector<std::string>{});
  // Header and layout byte for byte; the records, their order, values and
  // flags, the sort item, the reserved word and the SMS texts as they were.
  ASSERT_GE(after.size(), dataBase);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + dataBase, after.begin()));
  const DatabaseImage compacted = tsq_test::imageOfFile(database);
  EXPECT_EQ(recordsOf(compacted), recordsOf(edited));
  EXPECT_EQ(compacted.sortItem, edited.sortItem);
  EXPECT_EQ(compacted.dataReserved, 5u);
  EXPECT_EQ(compacted.smsNumber, u"+44 20 7946 0000");
  EXPECT_EQ(compacted.smsMessage, u"On my way");
  ASSERT_EQ(tsq::openTsqFile(database.string(), file), err::ok);
  EXPECT_EQ(tsq::readDataHeader(file.data()).freeList, noPosition);

  // The program opens it and loads every record.
  auto store = std::make_unique<Store>();
  std::u16string widePath = platform::fromUtf8(database.string());
  ASSERT_EQ(openFile(*store, widePath.c_str(), nullptr, nullptr), err::ok);
  ASSERT_EQ(loadIndex(*store), err::ok);
  EXPECT_EQ(store->file.header.recordCount, edited.records.size());
  for (std::uint32_t i = 0; i < store->file.header.recordCount; ++i) {
    store->records.currentEntry = static_cast<std::int32_t>(i);
    store->records.currentRecord = store->records.index[i].position;
    EXPECT_EQ(loadRecordValues(*store), err::ok) << i;
  }
  closeFile(*store);

  // Once more: nothing left to give back, and the file is not rewritten.
  Outcome again = compact();
  EXPECT_EQ(again.status, tsq::exitDone);
  EXPECT_EQ(again.out, database.string() + ": 0 bytes saved (" + std::to_string(after.size()) + " -> " +
                           std::to_string(after.size()) + " bytes)\n");
  EXPECT_EQ(tsq_test::readBytes(database), after);
}

TEST_F(CompactCommand, AFailingFileOperationChangesNothing) {
  editAtRandom(database, 40);
  const auto before = tsq_test::readBytes(database);
  for (platform::FileOp op : {platform::FileOp::Open, platform::FileOp::Read, platform::FileOp::Seek,
                              platform::FileOp::Write}) {
    for (int failAt = 0;; ++failAt) {
      platform::clearFileFaults();
      platform::failFileOperation(op, failAt);
      Outcome run = compact();
      const bool fired = platform::fileFaultsFired() > 0;
      platform::clearFileFaults();
      if (!fired) {
        EXPECT_EQ(run.status, tsq::exitDone) << run.err;
        tsq_test::writeBytes(database, before);
        break;
      }
      EXPECT_EQ(run.status, tsq::exitFailure) << static_cast<int>(op) << " at " << failAt;
      EXPECT_EQ(tsq_test::readBytes(database), before) << static_cast<int>(op) << " at " << failAt;
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1)
          << "a copy was left behind";
    }
  }
}

TEST_F(CompactCommand, RefusesAFileTessraHoldsAndAFileThatIsNotSound) {
  editAtRandom(database, 20);
  auto before = tsq_test::readBytes(database);
  {
    std::u16string path = platform::fromUtf8(database.string());
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Outcome run = compact();
    CloseHandle(held);
    EXPECT_EQ(run.status, tsq::exitFailure);
    EXPECT_NE(run.err.find("is in use (open in Tessra?)"), std::string::npos) << run.err;
    EXPECT_EQ(tsq_test::readBytes(database), before);
  }
  tsq::TsqFile file;
  ASSERT_EQ(tsq::openTsqFile(database.string(), file), err::ok);
  before[file.dataBase] += 1;  // recordCount one more than the chain holds
  tsq_test::writeBytes(database, before);
  Outcome run = compact();
  EXPECT_EQ(run.status, tsq::exitProblems);
  EXPECT_EQ(run.err, "tsq: " + database.string() + ": is not sound (tsq check lists its problems); nothing compacted\n");
  EXPECT_EQ(tsq_test::readBytes(database), before);
}

}  // namespace
