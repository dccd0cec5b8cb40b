#include "tests/robustness/scenarios.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "resources/ids.h"
#include "tests/support/tsq_fixture.h"

namespace robust {

namespace {

using platform::Key;

// ---- Commits ---------------------------------------------------------------------

enum CommitItem { Name, Price };

// A record as the commit checks read it from the file: its name and its
// price (none when the record stores no price).
struct Row {
  std::u16string name;
  std::optional<double> price;
  bool operator==(const Row&) const = default;
};
using Rows = std::vector<Row>;

DatabaseImage priced(const Rows& rows) {
  DatabaseImage database;
  database.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  database.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Number, 2, u"Price"));
  database.items[Price].row = 1;
  database.sortItem = Name;
  for (const Row& row : rows) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, row.name));
    if (row.price) record.values.push_back(tsqtest::numberValue(2, *row.price));
    database.records.push_back(record);
  }
  return database;
}

Rows storedRows(const std::vector<std::uint8_t>& bytes, const DatabaseImage& database) {
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, database).dataBase;
  Rows rows;
  for (Position record : apptest::recordChain(bytes, dataBase)) {
    Row row;
    for (const auto& entry : apptest::recordEntries(bytes, dataBase, record)) {
      if (entry.fieldId == 1 && entry.payload.size() >= 2) {
        for (std::size_t i = 2; i + 1 < entry.payload.size(); i += 2) {
          const auto unit = static_cast<char16_t>(entry.payload[i] | (entry.payload[i + 1] << 8));
          if (unit != 0) row.name.push_back(unit);
        }
      } else if (entry.fieldId == 2 && entry.payload.size() == 8) {
        double price = 0;
        std::memcpy(&price, entry.payload.data(), 8);
        row.price = price;
      }
    }
    rows.push_back(row);
    if (rows.size() > 16) break;  // a chain gone round in circles
  }
  return rows;
}

enum class Start { Edit, New, Duplicate };

struct Shape {
  const char* name;
  Rows before;
  int select;  // the ListView row opened first; -1: the empty record of a database without records
  CommitItem item;
  std::u16string text;
  Rows after;  // in chain order
  bool reads;  // whether the commit reads the file (finding a key's place does)
  Start start = Start::Edit;
};

const Rows three = {{u"abc", 1.0}, {u"mno", 2.0}, {u"xyz", 3.0}};

const Shape shapes[] = {
    {"TextGrows", three, 0, Name, u"abcdef", {{u"abcdef", 1.0}, {u"mno", 2.0}, {u"xyz", 3.0}}, true},
    {"ValueCleared", three, 1, Price, u"0", {{u"abc", 1.0}, {u"mno", {}}, {u"xyz", 3.0}}, false},
    {"FrontFromLast", three, 2, Name, u"aa", {{u"aa", 3.0}, {u"abc", 1.0}, {u"mno", 2.0}}, true},
    {"FrontFromMiddle", three, 1, Name, u"aa", {{u"aa", 2.0}, {u"abc", 1.0}, {u"xyz", 3.0}}, true},
    {"MiddleFromFirst", three, 0, Name, u"pqrs", {{u"mno", 2.0}, {u"pqrs", 1.0}, {u"xyz", 3.0}}, true},
    {"MiddleFromLast", three, 2, Name, u"b", {{u"abc", 1.0}, {u"b", 3.0}, {u"mno", 2.0}}, true},
    {"EndFromFirst", three, 0, Name, u"zz", {{u"mno", 2.0}, {u"xyz", 3.0}, {u"zz", 1.0}}, true},
    {"EndFromMiddle", three, 1, Name, u"zz", {{u"abc", 1.0}, {u"xyz", 3.0}, {u"zz", 2.0}}, true},
    {"FirstRecordOfAnEmptyDatabase", {}, -1, Name, u"first", {{u"first", {}}}, false},
    {"NewAmongOthers", three, 0, Name, u"n", {{u"abc", 1.0}, {u"mno", 2.0}, {u"n", {}}, {u"xyz", 3.0}}, true,
     Start::New},
    {"DuplicateRekeyed", three, 1, Name, u"b", {{u"abc", 1.0}, {u"b", 2.0}, {u"mno", 2.0}, {u"xyz", 3.0}}, true,
     Start::Duplicate},
    {"DuplicateAfterItsEqual", three, 1, Price, u"9", {{u"abc", 1.0}, {u"mno", 2.0}, {u"mno", 9.0}, {u"xyz", 3.0}},
     true, Start::Duplicate},
};

Scenario commitOf(const Shape& shape) {
  Scenario s;
  s.name = std::string("Commit") + shape.name;
  s.image = priced(shape.before);
  s.begin = [&shape, image = s.image](App& app) {
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    for (int i = 0; i < shape.select; ++i) app.press(Key::Down);
    if (shape.select >= 0) app.command(cmdDone);
    switch (shape.start) {
      case Start::Edit: app.command(cmdEdit); break;
      case Start::New: app.command(cmdNew); break;
      case Start::Duplicate: app.command(cmdDuplicate); break;
    }
    ASSERT_EQ(app.db().screen, Screen::Editing);
    app.setText(shape.item, shape.text);
  };
  s.act = [](App& app) { app.command(cmdDone); };
  s.again = [](App& app) {
    if (app.db().screen != Screen::Editing) return false;
    app.command(cmdDone);
    return true;
  };
  s.reads = shape.reads;
  s.checkClean = [&shape, image = s.image](const std::vector<std::uint8_t>& after) {
    EXPECT_EQ(storedRows(after, image), shape.after);
  };
  return s;
}

// ---- Sort and Delete -------------------------------------------------------------------

enum PersonItem { PersonName, Born, Score };

struct Person {
  std::u16string name;  // empty: no value
  std::int32_t score = 0;
  std::optional<SYSTEMTIME> born = std::nullopt;
};

DatabaseImage people(const std::vector<Person>& rows, std::uint32_t sortItem = noItem) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Date, 2, u"Born"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 3, u"Score"));
  for (int i = 0; i < 3; ++i) image.items[i].row = i;
  image.sortItem = sortItem;
  for (const Person& p : rows) {
    RecordImage record;
    if (!p.name.empty()) record.values.push_back(tsqtest::textValue(1, p.name));
    if (p.born) record.values.push_back(tsqtest::calendarValue(2, ValueType::Date, *p.born));
    if (p.score != 0) record.values.push_back(tsqtest::integerValue(3, p.score));
    image.records.push_back(record);
  }
  return image;
}

const std::vector<Person> five = {{u"e", 3}, {u"d", 5}, {u"a", 1}, {u"c", 4}, {u"b", 2}};

// Names in chain order, for the checks of a run without faults.
std::vector<std::string> names(const std::vector<std::uint8_t>& bytes, const DatabaseImage& image) {
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, image).dataBase;
  std::vector<std::string> found;
  for (Position record : apptest::recordChain(bytes, dataBase)) {
    std::string name;
    for (const auto& entry : apptest::recordEntries(bytes, dataBase, record))
      if (entry.fieldId == 1)
        for (std::size_t i = 2; i + 1 < entry.payload.size(); i += 2)
          if (entry.payload[i] != 0) name += static_cast<char>(entry.payload[i]);
    found.push_back(name);
    if (found.size() > 16) break;
  }
  return found;
}

// Sort on the given screen, picking the column `downs` rows below the
// first of the dialog's list.
Scenario sortOf(const std::string& name, DatabaseImage image, bool onList, int downs,
                std::vector<std::string> expected) {
  Scenario s;
  s.name = name;
  s.image = image;
  s.begin = [image, onList](App& app) {
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    app.press(Key::Down);
    if (!onList) app.command(cmdDone);
    ASSERT_EQ(app.db().screen, onList ? Screen::ListView : Screen::FormView);
  };
  s.act = [downs](App& app) {
    // From the top of the list, whichever row the dialog selects first.
    for (int i = 0; i < 8; ++i) app.queueKey(Key::Up);
    for (int i = 0; i < downs; ++i) app.queueKey(Key::Down);
    app.queueKey(Key::SoftLeft);
    app.command(cmdSort);
  };
  s.again = [act = s.act](App& app) {
    act(app);
    return true;
  };
  s.closeFinishes = false;
  s.unstableOrder = true;
  s.checkClean = [image, expected](const std::vector<std::uint8_t>& after) {
    EXPECT_EQ(names(after, image), expected);
  };
  return s;
}

// Delete of the record in the given ListView row; again deletes it once
// more while the program still has it. Without bytes the image is the file.
Scenario deleteOf(const std::string& name, DatabaseImage image, int row, std::vector<std::string> expected,
                  std::function<std::vector<std::uint8_t>()> bytes = nullptr) {
  Scenario s;
  s.name = name;
  s.image = image;
  auto deleted = std::make_shared<Position>(noPosition);
  s.begin = [image, row, deleted, bytes](App& app) {
    if (bytes) tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes());
    else app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    for (int i = 0; i < row; ++i) app.press(Key::Down);
    const LRESULT selected = SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0);
    ASSERT_EQ(selected, row);
    const auto entry = SendMessageW(app.db().ui.listBox, LB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    *deleted = app.db().store.records.index[entry].position;
  };
  s.act = [](App& app) { app.command(cmdDeleteRecord); };
  s.again = [deleted](App& app) {
    RecordSet& records = app.db().store.records;
    std::int32_t entry = -1;
    for (std::uint32_t i = 0; i < app.db().store.file.header.recordCount; ++i)
      if (records.index[i].position == *deleted) entry = static_cast<std::int32_t>(i);
    if (entry < 0) return false;  // gone from the list and the form
    if (app.db().screen == Screen::ListView) {
      SendMessageW(app.db().ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(records.index[entry].listRow), 0);
    } else if (records.currentEntry != entry) {
      return false;  // the form shows another record
    }
    app.command(cmdDeleteRecord);
    return true;
  };
  s.closeFinishes = false;
  s.checkClean = [image, expected](const std::vector<std::uint8_t>& after) {
    EXPECT_EQ(names(after, image), expected);
  };
  return s;
}

// ---- On a sample: a database of many sectors ----------------------------------------

// The Contacts sample as built beside the program.
std::vector<std::uint8_t> contactsSample() {
  const char* bin = std::getenv("TESSRA_BIN");
  const std::vector<std::uint8_t> bytes =
      tsqtest::readFileBytes(std::string(bin != nullptr ? bin : ".") + "/Contacts.tsq");
  EXPECT_GT(bytes.size(), 4096u) << "the Contacts sample is missing";
  return bytes;
}

// The sample opened on the ListView with the given row selected.
void openContacts(App& app, int row) {
  tsqtest::writeFileBytes(app.home() + "/db.tsq", contactsSample());
  ASSERT_TRUE(app.open("db"));
  ASSERT_EQ(app.db().screen, Screen::ListView);
  for (int i = 0; i < row; ++i) app.press(Key::Down);
}

constexpr int contactsName = 1;  // the Field of the sort item

std::vector<Scenario> onTheSample() {
  Scenario sort;
  sort.name = "SortTheContactsSampleByBirthday";
  sort.begin = [](App& app) { openContacts(app, 3); };
  sort.act = [](App& app) {
    for (int i = 0; i < 8; ++i) app.queueKey(Key::Up);
    for (int i = 0; i < 4; ++i) app.queueKey(Key::Down);  // Name, Mobile, Work, Group, Birthday
    app.queueKey(Key::SoftLeft);
    app.command(cmdSort);
  };
  sort.again = [act = sort.act](App& app) {
    act(app);
    return true;
  };
  sort.closeFinishes = false;
  sort.unstableOrder = true;

  Scenario commit;
  commit.name = "CommitOnTheContactsSample";
  commit.begin = [](App& app) {
    openContacts(app, 5);
    app.command(cmdDone);
    app.command(cmdEdit);
    ASSERT_EQ(app.db().screen, Screen::Editing);
    app.setText(contactsName, u"Zz, moved to the end");
  };
  commit.act = [](App& app) { app.command(cmdDone); };
  commit.again = [](App& app) {
    if (app.db().screen != Screen::Editing) return false;
    app.command(cmdDone);
    return true;
  };

  Scenario remove = deleteOf("DeleteOnTheContactsSample", DatabaseImage{}, 10, {}, contactsSample);
  remove.checkClean = nullptr;
  return {sort, commit, remove};
}

// ---- The SmsButton's remembered texts ---------------------------------------------------

enum SmsItem { SmsName, SmsMobile, SmsNote, SmsButtonItem };

DatabaseImage smsContacts(const std::u16string& number, const std::u16string& message) {
  DatabaseImage image;
  ItemImage mobile = tsqtest::valueItem(ItemKind::Field, ValueType::Text, 2, u"Mobile");
  mobile.numericInput = 1;
  ItemImage button;
  button.kind = static_cast<std::uint8_t>(ItemKind::SmsButton);
  button.caption = u"SMS";
  button.sms = SmsItems{SmsMobile, SmsNote};
  image.items = {tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"), mobile,
                 tsqtest::valueItem(ItemKind::Field, ValueType::Text, 3, u"Note"), button};
  for (int i = 0; i < 4; ++i) image.items[i].row = i;
  RecordImage ann;
  ann.values.push_back(tsqtest::textValue(1, u"Ann"));  // no number, no note: the remembered ones are offered
  image.records.push_back(ann);
  image.smsNumber = number;
  image.smsMessage = message;
  return image;
}

// The SmsButton confirmed with a longer number than the remembered one,
// typed over what the dialog offers, and again the same way.
Scenario smsOf(const std::string& name, DatabaseImage image) {
  Scenario s;
  s.reads = !image.smsNumber.empty() || !image.smsMessage.empty();  // what is remembered is read
  s.name = name;
  s.image = image;
  s.begin = [image](App& app) {
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    app.press(Key::Action);
    ASSERT_EQ(app.db().screen, Screen::FormView);
  };
  s.act = [](App& app) {
    app.queueStep([](HWND dialog) { SetDlgItemTextW(dialog, res::smsNumberId, u"0800 555 123"); }, Key::SoftLeft);
    SendMessageW(app.control(SmsButtonItem), BM_CLICK, 0, 0);
    platform::runPending();
  };
  s.again = [act = s.act](App& app) {
    act(app);
    return true;
  };
  s.closeFinishes = false;
  s.mayForget = true;
  return s;
}

}  // namespace

const std::vector<Scenario>& smsScenarios() {
  static const std::vector<Scenario> all = {
      smsOf("SmsNumberReplaced", smsContacts(u"0700 999", u"On my way")),
      smsOf("SmsNumberFirstRemembered", smsContacts(u"", u"")),
  };
  return all;
}

const std::vector<Scenario>& sampleScenarios() {
  static const std::vector<Scenario> all = onTheSample();
  return all;
}

const std::vector<Scenario>& commitScenarios() {
  static const std::vector<Scenario> all = [] {
    std::vector<Scenario> scenarios;
    for (const Shape& shape : shapes) scenarios.push_back(commitOf(shape));
    return scenarios;
  }();
  return all;
}

const std::vector<Scenario>& sortScenarios() {
  static const std::vector<Scenario> all = {
      sortOf("SortFromNoOrderOnTheList", people(five), true, 0, {"a", "b", "c", "d", "e"}),
      sortOf("SortFromNoOrderOnTheForm", people(five), false, 0, {"a", "b", "c", "d", "e"}),
      // Sorted by Name; Score lies two rows further down the dialog.
      sortOf("SortByAnotherColumn", people({{u"a", 5}, {u"b", 1}, {u"c", 4}, {u"d", 2}, {u"e", 3}}, PersonName),
             true, 2, {"b", "d", "e", "c", "a"}),
  };
  return all;
}

const std::vector<Scenario>& deleteScenarios() {
  static const std::vector<Scenario> all = [] {
    // Sorted, so that a record emptied on its way out stands out of order.
    const DatabaseImage three = people({{u"a", 1}, {u"b", 2}, {u"c", 3}}, PersonName);
    DatabaseImage offForm = three;
    offForm.records[1].values.push_back(tsqtest::integerValue(99, 42));  // on no item
    return std::vector<Scenario>{
        deleteOf("DeleteTheFirst", three, 0, {"b", "c"}),
        deleteOf("DeleteAMiddle", three, 1, {"a", "c"}),
        deleteOf("DeleteTheLast", three, 2, {"a", "b"}),
        deleteOf("DeleteTheOnly", people({{u"only", 7}}, PersonName), 0, {}),
        deleteOf("DeleteWithAColumnOffTheForm", offForm, 1, {"a", "c"}),
    };
  }();
  return all;
}

std::vector<const Scenario*> allScenarios() {
  std::vector<const Scenario*> all;
  for (const auto* group :
       {&commitScenarios(), &sortScenarios(), &deleteScenarios(), &smsScenarios(), &sampleScenarios()})
    for (const Scenario& scenario : *group) all.push_back(&scenario);
  return all;
}

}  // namespace robust
