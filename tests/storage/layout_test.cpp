#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "records/encoding.h"
#include "storage/layout.h"
#include "storage/writer.h"
#include "tests/support/tsq_fixture.h"

using tsqtest::OpenTsq;

namespace {

bool acceptPassword(void*, const char16_t*) { return true; }
bool rejectPassword(void*, const char16_t*) { return false; }

std::u16string text(const char16_t* units) { return std::u16string(units); }

TEST(Writer, SmallestDatabaseIsSeventyBytes) {
  const std::vector<std::uint8_t> expected = {
      1, 0, 0, 0,                                      // formatVersion
      0, 0, 0, 0,                                      // reserved
      1, 0, 0,                                         // headerText ""
      0, 0, 0, 0,                                      // reserved
      1, 0xFF, 0xFF,                                   // password "" scrambled
      1, 0, 0,                                         // mailSubject
      1, 0, 0,                                         // mailRecipient
      0,                                               // reserved
      0,                                               // readOnly
      0xFF, 0xFF, 0xFF, 0,                             // backgroundColour white
      0, 0, 0, 0,                                      // reserved
      0, 0, 0, 0,                                      // itemCount
      0, 0, 0, 0,                                      // reserved
      0, 0, 0, 0,                                      // recordCount
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // freeList, firstRecord
      0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,              // sortItem, reserved
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // smsNumberValue, smsMessageValue
  };
  EXPECT_EQ(encodeDatabase(DatabaseImage{}), expected);

  OpenTsq tsq(expected);
  ASSERT_EQ(tsq.open(), err::ok);
  EXPECT_EQ(tsq.store().file.dataBase, 42u);
  EXPECT_EQ(tsq.store().layout.itemCount, 0);
  EXPECT_EQ(tsq.store().file.header.firstRecord, noPosition);
  EXPECT_EQ(tsq.store().layout.password[0], 0);
}

TEST(Writer, RecordsFollowTheDataHeaderInChainOrder) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 1, u"A"));
  image.records.push_back({{tsqtest::integerValue(1, 5), tsqtest::textValue(2, u"hi")}, 0});
  image.records.push_back({{}, 7});
  image.smsNumber = u"555";
  std::vector<std::uint8_t> bytes = encodeDatabase(image);
  OpenTsq tsq(bytes);
  ASSERT_EQ(tsq.open(), err::ok);
  const DataHeader& h = tsq.store().file.header;
  EXPECT_EQ(h.recordCount, 2u);
  EXPECT_EQ(h.firstRecord, 28u);
  // Record 1: header 28..40, Integer entry 40..52, Text "hi" entry 52..68;
  // record 2: header 68..80; the SMS number 80..98.
  EXPECT_EQ(h.smsNumberValue, 80u);
  EXPECT_EQ(h.smsMessageValue, noPosition);
  EXPECT_EQ(bytes.size(), tsq.store().file.dataBase + 98u);
  RecordHeader first, second;
  ASSERT_EQ(readRecordHeader(tsq.store().file, 28, first), err::ok);
  EXPECT_EQ(first.firstField, 40u);
  EXPECT_EQ(first.nextRecord, 68u);
  ASSERT_EQ(readRecordHeader(tsq.store().file, 68, second), err::ok);
  EXPECT_EQ(second.firstField, noPosition);
  EXPECT_EQ(second.nextRecord, noPosition);
  EXPECT_EQ(second.flags, 7u);
  FieldValue value;
  ASSERT_EQ(readFieldValue(tsq.store().file, 40, value), err::ok);
  EXPECT_EQ(value.next, 52u);
  ASSERT_EQ(readFieldValue(tsq.store().file, 52, value), err::ok);
  EXPECT_EQ(value.next, noPosition);
  EXPECT_EQ(std::u16string(value.payload.text.chars), u"hi");
  ASSERT_EQ(readFieldValue(tsq.store().file, 80, value), err::ok);
  EXPECT_EQ(value.fieldId, 0);
  EXPECT_EQ(std::u16string(value.payload.text.chars), u"555");
}

TEST(Layout, HeaderFieldsRoundTrip) {
  DatabaseImage image;
  image.header.headerText = u"made elsewhere";
  image.header.password = u"Open Sesame";
  image.header.mailSubject = u"Contacts";
  image.header.mailRecipient = u"someone@example.com";
  image.header.readOnly = 1;
  image.header.backgroundColour = 0x00336699;
  image.header.reserved2 = 77;
  image.header.reserved11 = 99;
  OpenTsq tsq(image);
  ASSERT_EQ(tsq.open(acceptPassword), err::ok);
  const Store& db = tsq.store();
  EXPECT_EQ(text(db.layout.headerText), u"made elsewhere");
  EXPECT_EQ(text(db.layout.password), u"Open Sesame");
  EXPECT_EQ(text(db.layout.mailSubject), u"Contacts");
  EXPECT_EQ(text(db.layout.mailRecipient), u"someone@example.com");
  EXPECT_EQ(db.layout.readOnly, 1);
  EXPECT_EQ(db.layout.backgroundColour, 0x00336699u);
  EXPECT_EQ(db.layout.reserved2, 0u);  // kept 0 whatever the file holds
  EXPECT_EQ(db.layout.reserved11, 0u);
}

TEST(Layout, PasswordNeedsConfirmation) {
  DatabaseImage image;
  image.header.password = u"pw";
  struct Case {
    const char* name;
    PasswordCheck check;
    ErrorCode expected;
  };
  const Case cases[] = {{"noPrompt", nullptr, err::wrongPassword},
                        {"rejected", rejectPassword, err::wrongPassword},
                        {"accepted", acceptPassword, err::ok}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenTsq tsq(image);
    EXPECT_EQ(tsq.open(c.check), c.expected);
    EXPECT_EQ(text(tsq.store().layout.password), c.expected == err::ok ? u"pw" : u"");
  }
}

TEST(Layout, FormatVersions) {
  struct Case {
    std::uint32_t version;
    ErrorCode expected;
  };
  const Case cases[] = {{0, err::readData}, {1, err::ok}, {2, err::newerVersion}, {0xFFFFFFFF, err::newerVersion}};
  DatabaseImage image;
  image.header.headerText = u"kept";
  image.items.push_back(tsqtest::valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"L"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    std::vector<std::uint8_t> bytes = encodeDatabase(image);
    std::memcpy(bytes.data(), &c.version, 4);
    OpenTsq tsq(bytes);
    Store& db = tsq.store();
    // A failed read leaves the header fields as a closed database has them.
    db.layout.itemCount = 5;
    db.layout.readOnly = 1;
    std::memcpy(db.layout.mailSubject, u"stale", 12);
    ErrorCode code = tsq.open();
    EXPECT_EQ(code, c.expected);
    if (code == err::readData) {
      EXPECT_EQ(db.layout.itemCount, 0);
      EXPECT_EQ(db.layout.readOnly, 0);
      EXPECT_EQ(db.layout.mailSubject[0], 0);
      EXPECT_EQ(db.layout.backgroundColour, 0xFFFFFFu);
    }
    if (code == err::newerVersion) {
      EXPECT_EQ(db.layout.headerText[0], 0);  // nothing more was read
    }
    if (code == err::ok) {
      EXPECT_EQ(text(db.layout.headerText), u"kept");
    }
  }
}

SearchCriterion criterion(std::uint32_t item, std::uint8_t op, FieldValue value) {
  SearchCriterion c;
  c.item = item;
  c.op = op;
  c.value = value;
  return c;
}

// One item of every kind, and a SearchButton constant of every type.
DatabaseImage everyKind() {
  DatabaseImage image;
  auto add = [&](ItemImage item, std::int32_t row, std::int32_t left, std::int32_t width) {
    item.row = row;
    item.left = left;
    item.width = width;
    item.colour = 0x00010203u + static_cast<COLORREF>(image.items.size());
    image.items.push_back(item);
  };
  add(tsqtest::valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"Name"), 0, 0, 40);
  ItemImage field = tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Phone");
  field.numericInput = 1;
  add(field, 0, 40, -1);
  add(tsqtest::valueItem(ItemKind::CheckBox, ValueType::YesNo, 2, u"Friend"), 1, 0, -1);
  ItemImage pick = tsqtest::valueItem(ItemKind::PickList, ValueType::Text, 3, u"Kind");
  pick.choices = {u"Home", u"Work", std::u16string(31, u'w')};
  add(pick, 2, 0, 50);
  add(tsqtest::valueItem(ItemKind::PickList, ValueType::Text, 4, u"Empty list"), 2, 50, -1);
  ItemImage calc = tsqtest::valueItem(ItemKind::Calculated, ValueType::Number, 0xFFFF, u"Total");
  calc.expression.assign(256, 9);
  calc.decimalPlaces = 2;
  add(calc, 3, 0, -1);
  ItemImage go = tsqtest::valueItem(ItemKind::GoToButton, ValueType::Text, 0xFFFF, u"Go");
  go.target = 1;
  add(go, 4, 0, 20);
  ItemImage search = tsqtest::valueItem(ItemKind::SearchButton, ValueType::Text, 0xFFFF, u"Find");
  search.criteria = {criterion(9, op::less, tsqtest::integerValue(0, -12)),
                     criterion(anyTextItem, op::contains, tsqtest::textValue(0, u"needle")),
                     criterion(2, op::equal, tsqtest::yesNoValue(0, true))};
  search.matchAll = 1;
  add(search, 4, 20, 20);
  ItemImage sms = tsqtest::valueItem(ItemKind::SmsButton, ValueType::Text, 0xFFFF, u"Sms");
  sms.sms = {1, noItem};
  add(sms, 4, 40, 20);
  add(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 5, u"Count"), 5, 0, -1);
  ItemImage unknown = tsqtest::valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"Odd");
  unknown.kind = 3;  // no kind data
  add(unknown, 6, 0, -1);
  // More SearchButtons for the remaining constant types.
  SYSTEMTIME when{2024, 2, 4, 29, 13, 45, 30, 0};
  ItemImage numbers = tsqtest::valueItem(ItemKind::SearchButton, ValueType::Text, 0xFFFF, u"Numbers");
  numbers.criteria = {criterion(9, op::greater, tsqtest::numberValue(0, 2.5)),
                      criterion(9, op::lessOrEqual, tsqtest::numberValue(0, -0.25, ValueType::Currency)),
                      criterion(9, op::notEqual, tsqtest::calendarValue(0, ValueType::Date, when))};
  add(numbers, 7, 0, 30);
  FieldValue untyped;
  untyped.valueType = 1;  // carries no constant
  ItemImage others = tsqtest::valueItem(ItemKind::SearchButton, ValueType::Text, 0xFFFF, u"Others");
  others.criteria = {criterion(9, op::greaterOrEqual, tsqtest::calendarValue(0, ValueType::Time, when, 1)),
                     criterion(9, op::equal, untyped), criterion(1, op::contains, tsqtest::textValue(0, u""))};
  add(others, 7, 30, 30);
  return image;
}

TEST(Layout, EveryKindRoundTrips) {
  DatabaseImage image = everyKind();
  std::vector<std::uint8_t> bytes = encodeDatabase(image);
  OpenTsq tsq(bytes);
  ASSERT_EQ(tsq.open(), err::ok);
  const Store& db = tsq.store();
  ASSERT_EQ(db.layout.itemCount, static_cast<std::int32_t>(image.items.size()));
  EXPECT_EQ(db.file.dataBase, bytes.size() - dataHeaderSize);

  for (std::size_t i = 0; i < image.items.size(); ++i) {
    SCOPED_TRACE(i);
    const ItemImage& want = image.items[i];
    const LayoutItem& got = db.layout.items[i];
    EXPECT_EQ(text(got.caption), want.caption);
    EXPECT_EQ(got.valueType, want.valueType);
    EXPECT_EQ(got.fieldId, want.fieldId);
    EXPECT_EQ(got.colour, want.colour);
    EXPECT_EQ(got.kind, want.kind);
    EXPECT_EQ(got.row, want.row);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.valuePosition, noPosition);
    EXPECT_EQ(got.value.fieldId, want.fieldId);
    EXPECT_EQ(got.value.valueType, want.valueType);
  }
  EXPECT_EQ(db.layout.items[1].numericInput, 1);
  ASSERT_EQ(db.layout.items[3].pickList.choiceCount, 3);
  EXPECT_EQ(text(db.layout.items[3].pickList.choices[1]), u"Work");
  EXPECT_EQ(text(db.layout.items[3].pickList.choices[2]), std::u16string(31, u'w'));
  EXPECT_EQ(db.layout.items[4].pickList.choiceCount, 0);
  EXPECT_EQ(db.layout.items[5].calculated.expressionLength, 256);
  EXPECT_EQ(db.layout.items[5].calculated.expression[255], 9);
  EXPECT_EQ(db.layout.items[5].calculated.decimalPlaces, 2);
  EXPECT_EQ(db.layout.items[6].target, 1u);
  const SearchData& find = db.layout.items[7].search;
  ASSERT_EQ(find.criterionCount, 3);
  EXPECT_EQ(find.matchAll, 1);
  EXPECT_EQ(find.criteria[0].item, 9u);
  EXPECT_EQ(find.criteria[0].op, op::less);
  EXPECT_EQ(find.criteria[0].value.payload.integer, -12);
  EXPECT_EQ(find.criteria[1].item, anyTextItem);
  EXPECT_EQ(find.criteria[1].value.payload.text.count, 7);
  EXPECT_EQ(text(find.criteria[1].value.payload.text.chars), u"needle");
  EXPECT_EQ(find.criteria[2].value.payload.yesNo, 1);
  EXPECT_EQ(db.layout.items[8].sms.phoneItem, 1u);
  EXPECT_EQ(db.layout.items[8].sms.messageItem, noItem);
  EXPECT_EQ(db.layout.items[10].kind, 3);
  const SearchData& numbers = db.layout.items[11].search;
  EXPECT_EQ(numbers.criteria[0].value.payload.number, 2.5);
  EXPECT_EQ(numbers.criteria[1].value.valueType, static_cast<std::uint8_t>(ValueType::Currency));
  EXPECT_EQ(numbers.criteria[1].value.payload.number, -0.25);
  EXPECT_EQ(numbers.criteria[2].value.payload.calendar.noValue, 0u);
  EXPECT_EQ(numbers.criteria[2].value.payload.calendar.time.wDay, 29);
  EXPECT_EQ(numbers.criteria[2].value.payload.calendar.time.wSecond, 30);
  const SearchData& others = db.layout.items[12].search;
  EXPECT_EQ(others.criteria[0].value.payload.calendar.noValue, 1u);
  EXPECT_EQ(others.criteria[0].value.payload.calendar.time.wHour, 13);  // kept as stored
  EXPECT_EQ(others.criteria[1].value.valueType, 1);
  EXPECT_EQ(others.criteria[2].item, 1u);
  EXPECT_EQ(others.criteria[2].value.payload.text.count, 1);
}

TEST(Layout, ItemCountBelowOneMeansNone) {
  DatabaseImage image;
  std::vector<std::uint8_t> bytes = encodeDatabase(image);
  const std::int32_t minusFive = -5;
  std::memcpy(bytes.data() + 34, &minusFive, 4);  // itemCount
  OpenTsq tsq(bytes);
  ASSERT_EQ(tsq.open(), err::ok);
  EXPECT_EQ(tsq.store().layout.itemCount, 0);
  EXPECT_EQ(tsq.store().file.dataBase, 42u);
}

TEST(Layout, KeyItemIgnoresASortItemOutsideTheLayout) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"L"));
  image.items.push_back(tsqtest::valueItem(ItemKind::PickList, ValueType::Text, 1, u"P"));
  struct Case {
    std::uint32_t sortItem;
    std::int32_t key;
  };
  const Case cases[] = {{noItem, 1}, {0, 0}, {2, 1}, {0x7FFFFFFF, 1}};
  for (const Case& c : cases) {
    image.sortItem = c.sortItem;
    OpenTsq tsq(image);
    ASSERT_EQ(tsq.open(), err::ok);
    EXPECT_EQ(keyItem(tsq.store()), c.key) << c.sortItem;
  }
}

}  // namespace
