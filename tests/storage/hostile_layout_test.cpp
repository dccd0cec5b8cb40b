// Files that do not fit the in-memory layout: each is refused with its code,
// never read past a room or used as an index.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "storage/layout.h"
#include "storage/primitives.h"
#include "storage/writer.h"
#include "tests/support/tsq_fixture.h"

using tsqtest::OpenTsq;

namespace {

using Bytes = std::vector<std::uint8_t>;

bool acceptPassword(void*, const char16_t*) { return true; }

// Builds header and layout bytes field by field, for what the writer will
// not produce.
struct Raw {
  Bytes bytes;
  Raw& u8(std::uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  Raw& u16(std::uint16_t v) { return u8(static_cast<std::uint8_t>(v)).u8(static_cast<std::uint8_t>(v >> 8)); }
  Raw& u32(std::uint32_t v) { return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16)); }
  Raw& units(std::size_t count, char16_t fill, bool terminated = true) {
    for (std::size_t i = 0; i + 1 < count; ++i) u16(fill);
    if (count > 0) u16(terminated ? 0 : fill);
    return *this;
  }
  Raw& text8(std::size_t count, bool terminated = true) { return u8(static_cast<std::uint8_t>(count)).units(count, u'a', terminated); }
  Raw& text16(std::size_t count, bool terminated = true) {
    return u16(static_cast<std::uint16_t>(count)).units(count, u'a', terminated);
  }
  // Header fields 1 to 13 with empty texts and no password.
  Raw& header(std::uint32_t itemCount) {
    u32(1).u32(0).text8(1).u32(0).u8(1).u16(0xFFFF).text8(1).text8(1).u8(0).u8(0).u32(0xFFFFFF).u32(0);
    return u32(itemCount).u32(0);
  }
  // caption, valueType, fieldId, colour, kind (kind data follows).
  Raw& itemStart(std::uint8_t kind, std::uint8_t valueType = 32) {
    return text8(2).u8(valueType).u16(1).u32(0).u8(kind);
  }
  Raw& itemEnd() { return u32(0).u32(0).u32(0xFFFFFFFF); }
  Raw& dataHeader() {
    u32(0);
    for (int i = 0; i < 6; ++i) u32(i == 4 ? 0 : 0xFFFFFFFF);
    return *this;
  }
};

struct RawCase {
  const char* name;
  std::function<Bytes()> build;
  ErrorCode expected;
};

class RawFiles : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawFiles, AreReadOrRefused) {
  OpenTsq tsq(GetParam().build());
  EXPECT_EQ(tsq.open(acceptPassword), GetParam().expected);
}

Bytes withHeaderTexts(std::size_t subject, std::size_t recipient, std::size_t headerText = 1) {
  Raw r;
  r.u32(1).u32(0).text8(headerText).u32(0).u8(1).u16(0xFFFF).text8(subject).text8(recipient);
  r.u8(0).u8(0).u32(0).u32(0).u32(0).u32(0);
  return r.dataHeader().bytes;
}

Bytes withPassword(std::size_t count, std::size_t terminatorAt) {
  Raw r;
  r.u32(1).u32(0).text8(1).u32(0);
  std::u16string plain(count, u'p');
  if (terminatorAt < count) plain[terminatorAt] = 0;
  std::vector<std::uint16_t> scrambled(count);
  scramble(plain.data(), scrambled.data(), static_cast<int>(count));
  r.u8(static_cast<std::uint8_t>(count));
  for (auto u : scrambled) r.u16(u);
  r.text8(1).text8(1).u8(0).u8(0).u32(0).u32(0).u32(0).u32(0);
  return r.dataHeader().bytes;
}

Bytes labels(std::uint32_t count) {
  Raw r;
  r.header(count);
  // Past 101 the reader must have stopped already.
  for (std::uint32_t i = 0; i < count && i < 101; ++i) r.itemStart(1).itemEnd();
  return r.dataHeader().bytes;
}

Bytes pickList(std::size_t choiceLength) {
  Raw r;
  r.header(1).itemStart(5).u8(2).text8(3).text8(choiceLength + 1).itemEnd();
  return r.dataHeader().bytes;
}

Bytes calculated(std::uint16_t length) {
  Raw r;
  r.header(1).itemStart(8, 4).u16(length);
  for (std::uint16_t i = 0; i < length; ++i) r.u8(9);
  return r.u8(2).itemEnd().dataHeader().bytes;
}

// A SearchButton with criterionCount criteria on item 0 (a Text Field).
Bytes criteria(std::uint8_t count, std::function<void(Raw&)> oneCriterion) {
  Raw r;
  r.header(2).itemStart(2).u8(0).itemEnd().itemStart(19).u8(count);
  for (int i = 0; i < count; ++i) oneCriterion(r);
  return r.u8(0).itemEnd().dataHeader().bytes;
}

Bytes textCriterion(std::size_t count, bool terminated) {
  return criteria(1, [=](Raw& r) { r.u32(0).u8(16).u8(32).text16(count, terminated); });
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, RawFiles,
    ::testing::Values(
        RawCase{"headerTextFullRoom", [] { return withHeaderTexts(1, 1, 255); }, err::ok},
        RawCase{"subjectFits", [] { return withHeaderTexts(64, 1); }, err::ok},
        RawCase{"subjectAboveRoom", [] { return withHeaderTexts(65, 1); }, err::readData},
        RawCase{"recipientFits", [] { return withHeaderTexts(1, 128); }, err::ok},
        RawCase{"recipientAboveRoom", [] { return withHeaderTexts(1, 129); }, err::readData},
        RawCase{"textCountZero", [] { return withHeaderTexts(0, 1); }, err::readData},
        RawCase{"passwordEndsInRoom", [] { return withPassword(64, 63); }, err::ok},
        RawCase{"passwordEndsBehindRoom", [] { return withPassword(80, 64); }, err::readData},
        RawCase{"passwordUnterminated", [] { return withPassword(255, 255); }, err::readData},
        RawCase{"hundredItems", [] { return labels(100); }, err::ok},
        RawCase{"hundredAndOneItems", [] { return labels(101); }, err::readData},
        RawCase{"itemCountHuge", [] { return labels(0x7FFFFFFF); }, err::readData},
        RawCase{"choiceFits", [] { return pickList(31); }, err::ok},
        RawCase{"choiceAboveRoom", [] { return pickList(32); }, err::readData},
        RawCase{"expressionFits", [] { return calculated(256); }, err::ok},
        RawCase{"expressionAboveRoom", [] { return calculated(257); }, err::readData},
        RawCase{"criterionTextFits", [] { return textCriterion(259, true); }, err::ok},
        RawCase{"criterionTextAboveRoom", [] { return textCriterion(260, true); }, err::readData},
        RawCase{"criterionTextUnterminated", [] { return textCriterion(5, false); }, err::readData},
        RawCase{"criterionTextCountZero", [] { return textCriterion(0, true); }, err::readData},
        RawCase{"threeCriteria",
                [] { return criteria(3, [](Raw& r) { r.u32(0).u8(10).u8(2).u32(7); }); }, err::ok},
        RawCase{"fourCriteria",
                [] { return criteria(4, [](Raw& r) { r.u32(0).u8(10).u8(2).u32(7); }); }, err::readData},
        RawCase{"constantOfUnknownType",
                [] { return criteria(2, [](Raw& r) { r.u32(0).u8(10).u8(1); }); }, err::ok}),
    [](const auto& param) { return std::string(param.param.name); });

// Indexes that name no item of the layout (the writer stores what it is given).
struct IndexCase {
  const char* name;
  std::function<void(ItemImage&)> change;  // of the last item, a button
  ErrorCode expected;
};

class Indexes : public ::testing::TestWithParam<IndexCase> {};

TEST_P(Indexes, AreCheckedAgainstItemCount) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Text"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Number"));
  ItemImage button = tsqtest::valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"Button");
  GetParam().change(button);
  image.items.push_back(button);
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 3, u"Later"));
  OpenTsq tsq(image);
  Store& db = tsq.store();
  EXPECT_EQ(tsq.open(), GetParam().expected);
  if (GetParam().expected != err::ok) {
    EXPECT_EQ(db.layout.itemCount, 0);
  }
}

ItemImage& goTo(ItemImage& item, std::uint32_t target) {
  item.kind = static_cast<std::uint8_t>(ItemKind::GoToButton);
  item.target = target;
  return item;
}

ItemImage& sms(ItemImage& item, std::uint32_t phone, std::uint32_t message) {
  item.kind = static_cast<std::uint8_t>(ItemKind::SmsButton);
  item.sms = {phone, message};
  return item;
}

ItemImage& search(ItemImage& item, std::uint32_t index, std::uint8_t op) {
  item.kind = static_cast<std::uint8_t>(ItemKind::SearchButton);
  SearchCriterion c;
  c.item = index;
  c.op = op;
  c.value = tsqtest::textValue(0, u"x");
  item.criteria = {c};
  return item;
}

INSTANTIATE_TEST_SUITE_P(
    Layout, Indexes,
    ::testing::Values(
        IndexCase{"goToLastItem", [](ItemImage& i) { goTo(i, 3); }, err::ok},
        IndexCase{"goToPastEnd", [](ItemImage& i) { goTo(i, 4); }, err::readData},
        IndexCase{"goToNone", [](ItemImage& i) { goTo(i, noItem); }, err::readData},
        IndexCase{"smsBoth", [](ItemImage& i) { sms(i, 0, 3); }, err::ok},
        IndexCase{"smsNoMessage", [](ItemImage& i) { sms(i, 0, noItem); }, err::ok},
        IndexCase{"smsNoPhone", [](ItemImage& i) { sms(i, noItem, 1); }, err::ok},
        IndexCase{"smsPhonePastEnd", [](ItemImage& i) { sms(i, 4, noItem); }, err::readData},
        IndexCase{"smsMessagePastEnd", [](ItemImage& i) { sms(i, 0, 4); }, err::readData},
        IndexCase{"criterionLaterItem", [](ItemImage& i) { search(i, 3, op::equal); }, err::ok},
        IndexCase{"criterionPastEnd", [](ItemImage& i) { search(i, 4, op::equal); }, err::readData},
        IndexCase{"criterionNone", [](ItemImage& i) { search(i, noItem, op::equal); }, err::readData},
        IndexCase{"anyTextContains", [](ItemImage& i) { search(i, anyTextItem, op::contains); }, err::ok},
        IndexCase{"anyTextEqual", [](ItemImage& i) { search(i, anyTextItem, op::equal); }, err::readData},
        IndexCase{"containsOnText", [](ItemImage& i) { search(i, 0, op::contains); }, err::ok},
        IndexCase{"containsOnLaterText", [](ItemImage& i) { search(i, 3, op::contains); }, err::ok},
        IndexCase{"containsOnInteger", [](ItemImage& i) { search(i, 1, op::contains); }, err::readData},
        IndexCase{"operatorBelowRange", [](ItemImage& i) { search(i, 0, 9); }, err::readData},
        IndexCase{"operatorAboveRange", [](ItemImage& i) { search(i, 0, 17); }, err::readData},
        IndexCase{"unknownKind", [](ItemImage& i) { i.kind = 7; }, err::ok}),
    [](const auto& param) { return std::string(param.param.name); });

// A file with every kind of item and a few records, cut at every byte.
TEST(HostileLayout, TruncatedAnywhereIsReadError) {
  DatabaseImage image;
  image.header.password = u"pw";
  image.header.mailSubject = u"s";
  ItemImage pick = tsqtest::valueItem(ItemKind::PickList, ValueType::Text, 1, u"Kind");
  pick.choices = {u"a", u"bb"};
  image.items.push_back(pick);
  ItemImage field = tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"N");
  image.items.push_back(field);
  ItemImage calc = tsqtest::valueItem(ItemKind::Calculated, ValueType::Number, 0xFFFF, u"C");
  calc.expression = {9, 6, 1, 0, 0, 0};
  image.items.push_back(calc);
  ItemImage find = tsqtest::valueItem(ItemKind::SearchButton, ValueType::Text, 0xFFFF, u"F");
  SearchCriterion c;
  c.item = 0;
  c.op = op::contains;
  c.value = tsqtest::textValue(0, u"zz");
  find.criteria = {c};
  c.op = op::equal;
  c.item = 1;
  c.value = tsqtest::calendarValue(0, ValueType::Date, SYSTEMTIME{2020, 1, 3, 1, 0, 0, 0, 0});
  find.criteria.push_back(c);
  image.items.push_back(find);
  ItemImage go = tsqtest::valueItem(ItemKind::GoToButton, ValueType::Text, 0xFFFF, u"G");
  image.items.push_back(go);
  ItemImage text = tsqtest::valueItem(ItemKind::SmsButton, ValueType::Text, 0xFFFF, u"S");
  text.sms = {0, noItem};
  image.items.push_back(text);
  image.records.push_back({{tsqtest::integerValue(2, 4)}, 0});

  const Bytes full = encodeDatabase(image);
  OpenTsq whole(full);
  ASSERT_EQ(whole.open(acceptPassword), err::ok);
  const std::size_t layoutEnd = whole.store().file.dataBase;
  for (std::size_t length = 0; length < layoutEnd + dataHeaderSize; ++length) {
    SCOPED_TRACE(length);
    OpenTsq cut(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
    EXPECT_EQ(cut.open(acceptPassword), err::readData);
    if (length < layoutEnd) {
      EXPECT_EQ(cut.store().layout.itemCount, 0);
    }
  }
}

}  // namespace
