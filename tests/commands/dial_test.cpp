// Dial from the ListView and the FormView: which field's number is called,
// what the shell is handed, and the call the phone logs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "resources/ids.h"
#include "tests/commands/answers.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;
using commandtest::Answers;
using platform::Key;

namespace {

enum Item { Name, Mobile, Work, Note };

ItemImage phoneField(std::uint16_t fieldId, const std::u16string& caption) {
  ItemImage item = tsqtest::valueItem(ItemKind::Field, ValueType::Text, fieldId, caption);
  item.numericInput = 1;
  return item;
}

struct Contact {
  std::u16string name, mobile, work;
};

DatabaseImage contacts(const std::vector<Contact>& rows) {
  DatabaseImage image;
  image.items = {tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"), phoneField(2, u"Mobile"),
                 phoneField(3, u"Work"), tsqtest::valueItem(ItemKind::Field, ValueType::Text, 4, u"Note")};
  for (int i = 0; i < 4; ++i) image.items[i].row = i;
  for (const Contact& c : rows) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, c.name));
    if (!c.mobile.empty()) record.values.push_back(tsqtest::textValue(2, c.mobile));
    if (!c.work.empty()) record.values.push_back(tsqtest::textValue(3, c.work));
    image.records.push_back(record);
  }
  return image;
}

class Dial : public ::testing::Test {
 protected:
  void open(const DatabaseImage& image) {
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
  }
  // The requests the shell was handed since the test began.
  std::vector<std::string> requests() const {
    std::vector<std::string> files;
    for (const auto& request : platform::shellRequests()) {
      EXPECT_EQ(request.verb, u"open");
      files.push_back(platform::toUtf8(request.file));
    }
    return files;
  }
  std::string callsLog() const {
    const auto bytes = tsqtest::readFileBytes(app.home() + "/device/calls.log");
    return std::string(bytes.begin(), bytes.end());
  }

  App app;
};

TEST_F(Dial, TheFocusedPhoneFieldIsCalledElseTheFirst) {
  open(contacts({{u"Ann", u"0700 111", u"(020) 222-333"}}));
  app.command(cmdDial);  // ListView: the focus is on the list
  app.press(Key::Action);
  ASSERT_EQ(app.db().screen, Screen::FormView);
  SetFocus(app.control(Work));
  app.command(cmdDial);
  SetFocus(app.control(Note));
  app.command(cmdDial);
  SetFocus(app.control(Mobile));
  app.command(cmdDial);
  EXPECT_EQ(requests(), (std::vector<std::string>{"TEL:0700 111", "TEL:(020) 222-333", "TEL:0700 111", "TEL:0700 111"}));
  // Each call is one line of the log: the phone clock's time, a tab and the request.
  EXPECT_EQ(callsLog(),
            "2026-01-15 10:30:00\tTEL:0700 111\n2026-01-15 10:30:00\tTEL:(020) 222-333\n"
            "2026-01-15 10:30:00\tTEL:0700 111\n2026-01-15 10:30:00\tTEL:0700 111\n");
}

TEST_F(Dial, OnTheListViewTheSelectedRowsRecordBecomesCurrentAndIsCalled) {
  open(contacts({{u"Ann", u"0700 111", u""}, {u"Bob", u"0700 222", u""}, {u"Cy", u"0700 333", u""}}));
  app.press(Key::Down);
  app.press(Key::Down);
  app.command(cmdDial);
  EXPECT_EQ(requests(), (std::vector<std::string>{"TEL:0700 333"}));
  EXPECT_EQ(app.db().store.records.currentEntry, 2);
  EXPECT_EQ(app.db().screen, Screen::ListView);
  EXPECT_EQ(app.text(Name), u"Cy");
}

TEST_F(Dial, TheNumberIsHandedOverUnfilteredAndCutTo80Characters) {
  std::u16string hundred;
  for (int i = 0; i < 100; ++i) hundred += static_cast<char16_t>(u'0' + i % 10);
  open(contacts({{u"Long", hundred, u""}, {u"Odd", u"+44 (0) 7#1*2 ext. 5", u""}, {u"None", u"", u""}}));
  app.command(cmdDial);
  app.press(Key::Down);
  app.command(cmdDial);
  // An empty phone-number field still counts as found.
  app.press(Key::Down);
  app.command(cmdDial);
  EXPECT_EQ(requests(), (std::vector<std::string>{"TEL:" + platform::toUtf8(hundred.substr(0, 80)),
                                                  "TEL:+44 (0) 7#1*2 ext. 5", "TEL:"}));
}

TEST(DialWithout, ARecordOrAPhoneFieldSaysNoPhoneNumberFound) {
  struct Case {
    const char* name;
    DatabaseImage image;
  };
  DatabaseImage noRecords = contacts({});
  DatabaseImage noPhoneField = contacts({{u"Ann", u"0700 111", u""}});
  for (ItemImage& item : noPhoneField.items) item.numericInput = 0;
  DatabaseImage numericButNotText = noPhoneField;
  numericButNotText.items[Mobile].valueType = static_cast<std::uint8_t>(ValueType::Integer);
  numericButNotText.items[Mobile].numericInput = 1;
  numericButNotText.records[0].values[1] = tsqtest::integerValue(2, 700111);
  for (const Case& c : {Case{"no records", noRecords}, Case{"no phone field", noPhoneField},
                        Case{"an Integer field", numericButNotText}}) {
    SCOPED_TRACE(c.name);
    App app;
    app.writeDatabase("db", c.image);
    ASSERT_TRUE(app.open("db"));
    Answers answers;
    app.command(cmdDial);
    EXPECT_TRUE(platform::shellRequests().empty());
    ASSERT_EQ(answers.screens().size(), 1u);
    EXPECT_TRUE(commandtest::shows(answers.lastScreen(), "No phone number found for this entry"))
        << answers.lastScreen();
  }
}

TEST_F(Dial, IsNotACommandOfEditingOrTheCatalogue) {
  open(contacts({{u"Ann", u"0700 111", u""}}));
  app.command(cmdEdit);
  ASSERT_EQ(app.db().screen, Screen::Editing);
  Answers answers;
  app.command(cmdDial);
  app.command(cmdCancel);
  app.press(Key::Back);  // FormView -> ListView
  app.press(Key::Back);  // -> Catalogue
  ASSERT_EQ(app.db().screen, Screen::Catalogue);
  app.command(cmdDial);
  EXPECT_TRUE(platform::shellRequests().empty());
  EXPECT_TRUE(answers.screens().empty());
}

}  // namespace
