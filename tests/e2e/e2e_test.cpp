// The program end to end: key scripts through the headless driver over
// databases made for each test, and the files they leave behind.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/phone.h"

namespace fs = std::filesystem;
using e2e::Phone;
using e2e::Trace;
using e2e::Screen;

namespace {

// Every kind of value item, two calculated fields and labels between them;
// sorted by Name. Alice divides by zero in Ratio.
constexpr const char* kindsDefinition = R"({
  "items": [
    {"kind": "Label", "caption": "Name", "row": 0, "left": 0, "width": 36},
    {"kind": "Field", "caption": "Name", "row": 0, "left": 42},
    {"kind": "Label", "caption": "Count", "row": 1, "left": 0, "width": 36},
    {"kind": "Field", "caption": "Count", "valueType": "Integer", "row": 1, "left": 42},
    {"kind": "Label", "caption": "Price", "row": 2, "left": 0, "width": 36},
    {"kind": "Field", "caption": "Price", "valueType": "Number", "row": 2, "left": 42},
    {"kind": "Label", "caption": "Cost", "row": 3, "left": 0, "width": 36},
    {"kind": "Field", "caption": "Cost", "valueType": "Currency", "row": 3, "left": 42},
    {"kind": "Label", "caption": "Day", "row": 4, "left": 0, "width": 36},
    {"kind": "Field", "caption": "Day", "valueType": "Date", "row": 4, "left": 42},
    {"kind": "Label", "caption": "At", "row": 5, "left": 0, "width": 36},
    {"kind": "Field", "caption": "At", "valueType": "Time", "row": 5, "left": 42},
    {"kind": "CheckBox", "caption": "Paid", "row": 6},
    {"kind": "Label", "caption": "Kind", "row": 7, "left": 0, "width": 36},
    {"kind": "PickList", "caption": "Kind", "choices": ["Red", "Green", "Blue"], "row": 7, "left": 42},
    {"kind": "Label", "caption": "Total", "row": 8, "left": 0, "width": 36},
    {"kind": "Calculated", "caption": "Total", "expression": "[Count] * [Price]", "row": 8, "left": 42},
    {"kind": "Label", "caption": "Ratio", "row": 9, "left": 0, "width": 36},
    {"kind": "Calculated", "caption": "Ratio", "expression": "[Price] / [Count]", "row": 9, "left": 42}
  ],
  "sortItem": "Name",
  "records": [
    {"Name": "Alice", "Count": 0, "Price": 2},
    {"Name": "Bob", "Count": 4, "Price": 3, "Cost": 2.25, "Day": "2024-05-01", "At": "08:15:00",
     "Paid": true, "Kind": "Green"}
  ]
})";

// Open "Kinds" from the Catalogue and show Bob, the second record.
constexpr const char* showBob = "SoftLeft Down Action";
// The record menu's Edit.
constexpr const char* edit = "SoftRight 4";

// The rows of the form as the screen shows them, label and value columns
// collapsed into "label value".
std::string collapsed(const std::string& row) {
  std::string out;
  for (char c : row) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}
std::vector<std::string> formRows(const Screen& screen) {
  std::vector<std::string> rows;
  for (const std::string& row : screen.body()) rows.push_back(collapsed(row));
  return rows;
}

const std::vector<std::string> bobRows = {
    "Name Bob", "Count 4", "Price 3.000000", "Cost 2.25", "Day 5/1/2024", "At 8:15:00 AM",
    "[x] Paid", "Kind Green", "Total 12.00", "Ratio 0.75",
};

class Program : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(phone.create("Kinds", kindsDefinition)); }
  Phone phone;
};

// ---- Opening and reading ------------------------------------------------------

TEST_F(Program, OpensFromTheCatalogueWithOpenTheActionKeyAndTheMenu) {
  const Trace start = phone.drive("");
  EXPECT_EQ(start.last().title(), "Tessra");
  EXPECT_EQ(start.last().selected(), "Kinds");
  EXPECT_EQ(start.last().softKeys(), "Open                                Menu");

  for (const char* keys : {"SoftLeft", "Action", "SoftRight 1"}) {
    const Screen list = phone.drive(keys).last();
    EXPECT_EQ(list.title(), "Kinds") << keys;
    EXPECT_EQ(list.body(), (std::vector<std::string>{"Alice", "Bob"})) << keys;
    EXPECT_EQ(list.selected(), "Alice") << keys;
    EXPECT_EQ(list.softKeys(), "Dial                                Menu") << keys;
  }
}

TEST_F(Program, ActionKeyOnARowShowsThatRecordAndBackReturnsToItsRow) {
  const Trace run = phone.drive(std::string(showBob) + " Back");
  EXPECT_EQ(formRows(run.afterKey(3)), bobRows);
  EXPECT_EQ(collapsed(run.afterKey(3).selected()), "Name Bob");
  EXPECT_EQ(run.last().body(), (std::vector<std::string>{"Alice", "Bob"}));
  EXPECT_EQ(run.last().selected(), "Bob");
}

TEST_F(Program, CalculatedFieldShowsStarsForADivisionByZero) {
  const Screen alice = phone.drive("SoftLeft Action").last();
  EXPECT_EQ(formRows(alice), (std::vector<std::string>{"Name Alice", "Count 0", "Price 2.000000", "Cost 0.00", "Day",
                                                       "At", "[ ] Paid", "Kind Red", "Total 0.00", "Ratio *****"}));
}

// The ListView shows each record's key as text; a record without a key value
// shows the empty value's text.
struct KeyRowsCase {
  const char* name;
  const char* keyItem;  // the key item's definition
  const char* records;
  std::vector<std::string> rows;
};

TEST(ListView, RowsShowTheKeyOfEveryTypeAndTheEmptyValuesText) {
  const std::vector<KeyRowsCase> cases = {
      {"Text", R"({"kind": "Field", "caption": "Key"})", R"([{}, {"Key": "ann"}, {"Key": "Bob"}])", {"", "ann", "Bob"}},
      {"Integer", R"({"kind": "Field", "caption": "Key", "valueType": "Integer"})",
       R"([{"Key": -3}, {}, {"Key": 12}])", {"-3", "0", "12"}},
      {"Number", R"({"kind": "Field", "caption": "Key", "valueType": "Number"})", R"([{}, {"Key": 2.5}])",
       {"0.000000", "2.500000"}},
      {"Currency", R"({"kind": "Field", "caption": "Key", "valueType": "Currency"})", R"([{}, {"Key": 1234.5}])",
       {"0.00", "1234.50"}},
      {"Date", R"({"kind": "Field", "caption": "Key", "valueType": "Date"})", R"([{}, {"Key": "2024-05-01"}])",
       {"", "5/1/2024"}},
      {"Time", R"({"kind": "Field", "caption": "Key", "valueType": "Time"})", R"([{}, {"Key": "08:15:00"}])",
       {"", "8:15:00 AM"}},
      {"YesNo", R"({"kind": "CheckBox", "caption": "Key"})", R"([{}, {"Key": true}])", {"0", "1"}},
      {"PickList", R"({"kind": "PickList", "caption": "Key", "choices": ["Red", "Green"]})",
       R"([{}, {"Key": "Green"}])", {"", "Green"}},
  };
  for (const auto& c : cases) {
    Phone phone;
    const std::string definition = std::string(R"({"items": [)") + c.keyItem +
                                   R"(, {"kind": "Field", "caption": "Other"}], "sortItem": "Key", "records": )" +
                                   c.records + "}";
    ASSERT_TRUE(phone.create("Keys", definition)) << c.name;
    const Screen list = phone.drive("SoftLeft").last();
    EXPECT_EQ(list.body(), c.rows) << c.name << "\n" << list.text;
    EXPECT_EQ(phone.check(phone.path("Keys")), "sound") << c.name;
  }
}

TEST(ListView, WithoutASortOrderTheFirstFieldIsTheKeyInChainOrder) {
  Phone phone;
  ASSERT_TRUE(phone.create("Plain", R"({"items": [
      {"kind": "Label", "caption": "Title"}, {"kind": "CheckBox", "caption": "Done"},
      {"kind": "Field", "caption": "Task"}, {"kind": "Field", "caption": "Note"}],
    "records": [{"Task": "water plants", "Done": true}, {"Note": "no task"}, {"Task": "Buy milk"}]})"));
  EXPECT_EQ(phone.drive("SoftLeft").last().body(), (std::vector<std::string>{"water plants", "", "Buy milk"}));
}

// ---- Moving through the form --------------------------------------------------

TEST_F(Program, UpAndDownWalkTheFocusableItemsWithWrapAround) {
  const Trace down = phone.drive(std::string(showBob) + " Down Down Down Down Down Down Down Down");
  const std::vector<std::string> walk = {"Name Bob", "Count 4",  "Price 3.000000", "Cost 2.25", "Day 5/1/2024",
                                         "At 8:15:00 AM", "[x] Paid", "Kind Green", "Name Bob"};
  for (std::size_t step = 0; step < walk.size(); ++step)
    EXPECT_EQ(collapsed(down.afterKey(3 + step).selected()), walk[step]) << "after " << step << " Down";

  const Trace up = phone.drive(std::string(showBob) + " Up Up");
  EXPECT_EQ(collapsed(up.afterKey(4).selected()), "Kind Green");
  EXPECT_EQ(collapsed(up.afterKey(5).selected()), "[x] Paid");
}

TEST(Form, ALongFormScrollsSoThatTheFocusedItemAndItsLabelAreVisible) {
  // Ten fields, each with its label on the line above: twenty lines on a
  // screen with room for twelve.
  std::string items, values;
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    items += std::string(i == 0 ? "" : ",") + R"({"kind": "Label", "caption": "Label )" + n + R"(", "row": )" +
             std::to_string(2 * i) + R"(}, {"kind": "Field", "caption": "F)" + n + R"(", "row": )" +
             std::to_string(2 * i + 1) + "}";
    values += std::string(i == 0 ? "" : ",") + R"("F)" + n + R"(": "value )" + n + R"(")";
  }
  Phone phone;
  ASSERT_TRUE(phone.create("Long", R"({"items": [)" + items + R"(], "records": [{)" + values + "}]}"));

  std::string keys = "SoftLeft Action";
  for (int i = 0; i < 10; ++i) keys += " Down";
  keys += " Up";
  const Trace run = phone.drive(keys);
  // Down from the last field wraps to the first; Up from there to the last.
  const std::vector<int> focused = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 9};
  for (std::size_t step = 0; step < focused.size(); ++step) {
    const Screen& screen = run.afterKey(2 + step);
    const std::string n = std::to_string(focused[step]);
    const std::vector<std::string> body = screen.body();
    std::size_t row = 0;
    while (row < body.size() && body[row] != "value " + n) ++row;
    ASSERT_LT(row, body.size()) << "value " << n << " is not on the screen\n" << screen.text;
    EXPECT_EQ(screen.selected(), "value " + n) << screen.text;
    ASSERT_GT(row, 0u) << "no room for the label of value " << n << "\n" << screen.text;
    EXPECT_EQ(body[row - 1], "Label " + n) << screen.text;
  }
}

// ---- Check boxes, typing and calculated fields ------------------------------

TEST_F(Program, ACheckBoxClickedOutsideEditingKeepsItsState) {
  const std::string toPaid = " Down Down Down Down Down Down";
  EXPECT_EQ(phone.drive(std::string(showBob) + toPaid + " Action").last().selected(), "[x] Paid");
  EXPECT_EQ(phone.drive(std::string(showBob) + toPaid + " Action Action").last().selected(), "[x] Paid");
  EXPECT_EQ(phone.drive(std::string(showBob) + " " + edit + toPaid + " Action").last().selected(), "[ ] Paid");
}

TEST_F(Program, TypingIntoNumericFieldsRecomputesEveryCalculatedFieldAtOnce) {
  // Count: entering it selects its text, so "1" replaces the 4.
  const Trace run = phone.drive(std::string(showBob) + " " + edit + " Down 1 2 Down * 1 # 2");
  const Screen& afterOne = run.afterKey(7);
  EXPECT_EQ(collapsed(afterOne.rowStarting("Count")), "Count 1");
  EXPECT_EQ(collapsed(afterOne.rowStarting("Total")), "Total 3.00");
  EXPECT_EQ(collapsed(afterOne.rowStarting("Ratio")), "Ratio 3.00");
  const Screen& afterTwelve = run.afterKey(8);
  EXPECT_EQ(collapsed(afterTwelve.rowStarting("Total")), "Total 36.00");
  EXPECT_EQ(collapsed(afterTwelve.rowStarting("Ratio")), "Ratio 0.25");
  // "*" types the minus sign and "#" the decimal separator.
  EXPECT_EQ(collapsed(run.last().rowStarting("Price")), "Price -1.2");
  EXPECT_EQ(collapsed(run.last().rowStarting("Total")), "Total -14.40");
  EXPECT_EQ(collapsed(run.last().rowStarting("Ratio")), "Ratio -0.10");
  // A Count of 0 divides by zero.
  EXPECT_EQ(collapsed(phone.drive(std::string(showBob) + " " + edit + " Down 0").last().rowStarting("Ratio")),
            "Ratio *****");
}

TEST_F(Program, HashTypesTheDecimalSeparatorOfTheLocale) {
  const Screen screen =
      phone.drive(std::string(showBob) + " " + edit + " Down Down * 1 # 2", {}, "--locale de_DE").last();
  EXPECT_EQ(collapsed(screen.rowStarting("Price")), "Price -1,2");
  EXPECT_EQ(collapsed(screen.rowStarting("Total")), "Total -4,80");
}

TEST_F(Program, TypingOutsideEditingChangesNothing) {
  const Screen screen = phone.drive(std::string(showBob) + " Down 7 * # Down \"x\"").last();
  EXPECT_EQ(formRows(screen), bobRows);
}

// ---- Password, read-only, Back ----------------------------------------------

TEST(Password, IsAskedOnceAndMatchedIgnoringLetterCase) {
  struct Case {
    const char* keys;  // typed into the prompt, then the answer
    bool opens;
  };
  const std::vector<Case> cases = {
      {"\"sECRET\" SoftLeft", true}, {"\"Secret\" SoftLeft", true},    {"\"Secre\" SoftLeft", false},
      {"SoftLeft", false},           {"\"Secret\" SoftRight", false},
  };
  Phone phone;
  ASSERT_TRUE(phone.create("Vault", R"({"password": "Secret", "items": [{"kind": "Field", "caption": "Name"}],
                                      "records": [{"Name": "Zed"}]})"));
  for (const auto& c : cases) {
    const Trace run = phone.drive(std::string("SoftLeft ") + c.keys + " SoftLeft");
    EXPECT_EQ(run.afterKey(1).title(), "Enter Password") << c.keys;
    const Screen& answered = run.screens.at(run.screens.size() - 2);
    if (c.opens) {
      EXPECT_EQ(answered.body(), (std::vector<std::string>{"Zed"})) << c.keys << "\n" << answered.text;
    } else {
      EXPECT_TRUE(answered.shows("Incorrect password")) << c.keys << "\n" << answered.text;
      // After OK: the Catalogue, no second message, no second prompt.
      EXPECT_EQ(run.last().title(), "Tessra") << c.keys;
      EXPECT_EQ(run.last().selected(), "Vault") << c.keys;
      EXPECT_EQ(run.last().softKeys(), "Open                                Menu") << c.keys;
    }
  }
}

TEST(ReadOnly, EditNewDuplicateAndDeleteDoNothingAndSayNothing) {
  Phone phone;
  ASSERT_TRUE(phone.create("Fixed", R"({"readOnly": true,
      "items": [{"kind": "Field", "caption": "Name"}, {"kind": "CheckBox", "caption": "Done"}],
      "sortItem": "Name", "records": [{"Name": "Anna"}, {"Name": "Ben", "Done": true}]})"));
  const std::vector<std::uint8_t> before = e2e::fileBytes(phone.path("Fixed"));
  for (const char* screenKeys : {"SoftLeft Down", "SoftLeft Down Action"}) {
    const Screen reference = phone.drive(screenKeys).last();
    for (const char* menuItem : {"4", "2", "3", "7"}) {
      const std::string keys = std::string(screenKeys) + " SoftRight " + menuItem;
      const Screen after = phone.drive(keys).last();
      EXPECT_EQ(after.text, reference.text) << keys;
    }
  }
  // A click on the check box is undone as everywhere outside Editing.
  EXPECT_EQ(phone.drive("SoftLeft Down Action Down Action").last().selected(), "[x] Done");
  EXPECT_EQ(e2e::fileBytes(phone.path("Fixed")), before);
}

TEST_F(Program, BackKeyOnEachScreen) {
  // Catalogue: the shell leaves the program.
  const Trace catalogue = phone.drive("Back Down");
  EXPECT_EQ(catalogue.exitStatus, 0);
  EXPECT_EQ(catalogue.last().title(), "");
  // ListView: back to the Catalogue, the database's row selected.
  const Screen list = phone.drive("SoftLeft Back").last();
  EXPECT_EQ(list.title(), "Tessra");
  EXPECT_EQ(list.selected(), "Kinds");
  // FormView: back to the list, on the shown record.
  EXPECT_EQ(phone.drive(std::string(showBob) + " Back").last().selected(), "Bob");
  // Editing, on a text field: erases the character before the caret.
  const Screen editing = phone.drive(std::string(showBob) + " " + edit + " Right Right Right Back").last();
  EXPECT_EQ(collapsed(editing.selected()), "Name Bo");
  EXPECT_EQ(editing.softKeys(), "Done                              Cancel");
  // Editing, on a check box: nothing happens.
  const Screen onBox = phone.drive(std::string(showBob) + " " + edit + " Up Up Back").last();
  EXPECT_EQ(onBox.selected(), "[x] Paid");
  EXPECT_EQ(onBox.softKeys(), "Done                              Cancel");
}

TEST(Empty, ADatabaseWithoutRecordsOpensInTheFormViewAndBackGoesToTheCatalogue) {
  Phone phone;
  constexpr const char* definition = R"({"items": [{"kind": "Label", "caption": "Title"},
      {"kind": "Field", "caption": "Name"}, {"kind": "Field", "caption": "Age", "valueType": "Integer"}]})";
  ASSERT_TRUE(phone.create("Blank", definition));
  ASSERT_TRUE(phone.create("Fresh", definition, phone.scratch()));

  // From the Catalogue: the FormView on an empty record, titled with its name.
  const Trace fromCatalogue = phone.drive("Down SoftLeft Back");
  const Screen& form = fromCatalogue.afterKey(2);
  EXPECT_EQ(form.title(), "Blank");
  EXPECT_EQ(form.body(), (std::vector<std::string>{"Title", "", "0"}));
  EXPECT_EQ(form.selected(), "");  // the empty Name field has the focus ...
  EXPECT_TRUE(form.marked[2]) << form.text;  // ... on the line after the label
  EXPECT_EQ(form.softKeys(), "Dial                                Menu");
  EXPECT_EQ(fromCatalogue.last().title(), "Tessra");
  EXPECT_EQ(fromCatalogue.last().selected(), "Blank");

  // From the command line: imported, then straight to the FormView.
  const Screen started = phone.drive("", phone.scratch() + "/Fresh.tsq").last();
  EXPECT_EQ(started.body(), (std::vector<std::string>{"Title", "", "0"}));
  EXPECT_TRUE(started.marked[2]) << started.text;
  EXPECT_TRUE(fs::exists(phone.path("Fresh")));
}

// ---- Failures: each message once, and the Catalogue stays ------------------

// The data area starts where a database with the same layout and no records
// ends, less its 28-byte DataHeader.
std::size_t dataBaseOf(Phone& phone, const std::string& definition) {
  if (!phone.create("Layout", definition, phone.scratch())) return 0;
  return e2e::fileBytes(phone.scratch() + "/Layout.tsq").size() - 28;
}

TEST(Failures, EachShowsItsMessageOnceAndTheCatalogueStays) {
  constexpr const char* layout = R"({"items": [{"kind": "Field", "caption": "Name"}], "sortItem": "Name")";
  const std::string definition = std::string(layout) + R"(, "records": [{"Name": "a"}, {"Name": "b"}]})";
  struct Case {
    const char* name;
    void (*damage)(Phone& phone, std::vector<std::uint8_t>& bytes, std::size_t dataBase);
    const char* message;
  };
  const std::vector<Case> cases = {
      {"newer version", [](Phone&, std::vector<std::uint8_t>& b, std::size_t) { e2e::setU32(b, 0, 2); },
       "Newer Tessra required to read"},
      {"first record beyond the end",
       [](Phone&, std::vector<std::uint8_t>& b, std::size_t base) { e2e::setU32(b, base + 8, 0x7FFFFFF0); },
       "Error reading data"},
      {"a record header cut off",
       [](Phone&, std::vector<std::uint8_t>& b, std::size_t base) {
         e2e::setU32(b, base + 8, static_cast<std::uint32_t>(b.size() - base - 6));
       },
       "Error reading data"},
      {"layout cut off", [](Phone&, std::vector<std::uint8_t>& b, std::size_t) { b.resize(40); },
       "Error reading data"},
  };
  for (const auto& c : cases) {
    Phone phone;
    const std::size_t dataBase = dataBaseOf(phone, std::string(layout) + "}");
    ASSERT_TRUE(phone.create("Broken", definition));
    std::vector<std::uint8_t> bytes = e2e::fileBytes(phone.path("Broken"));
    c.damage(phone, bytes, dataBase);
    e2e::writeBytes(phone.path("Broken"), bytes);

    const Trace run = phone.drive("SoftLeft SoftLeft");
    EXPECT_TRUE(run.afterKey(1).shows(c.message)) << c.name << "\n" << run.afterKey(1).text;
    EXPECT_EQ(run.last().title(), "Tessra") << c.name;
    EXPECT_EQ(run.last().selected(), "Broken") << c.name << "\n" << run.last().text;
    EXPECT_EQ(run.last().softKeys(), "Open                                Menu") << c.name;
    EXPECT_EQ(e2e::fileBytes(phone.path("Broken")), bytes) << c.name;
  }
}

TEST(Failures, AChainLongerThanItsRecordCountNeitherHangsNorListsTooMuch) {
  constexpr const char* layout = R"({"items": [{"kind": "Field", "caption": "Name"}])";
  Phone phone;
  const std::size_t dataBase = dataBaseOf(phone, std::string(layout) + "}");
  ASSERT_TRUE(phone.create("Loop", std::string(layout) + R"(, "records": [{"Name": "a"}, {"Name": "b"}]})"));
  std::vector<std::uint8_t> bytes = e2e::fileBytes(phone.path("Loop"));
  // The last record's nextRecord points back at the first: a cycle.
  const std::uint32_t first = e2e::u32At(bytes, dataBase + 8);
  const std::uint32_t second = e2e::u32At(bytes, dataBase + first + 4);
  ASSERT_LT(dataBase + second + 8, bytes.size());
  e2e::setU32(bytes, dataBase + second + 4, first);
  e2e::writeBytes(phone.path("Loop"), bytes);

  const Trace run = phone.drive("SoftLeft");
  ASSERT_EQ(run.exitStatus, 0);
  const Screen& screen = run.last();
  if (screen.shows("Error reading data")) {
    EXPECT_EQ(phone.drive("SoftLeft SoftLeft").last().selected(), "Loop");
  } else {
    EXPECT_EQ(screen.body(), (std::vector<std::string>{"a", "b"})) << screen.text;
  }
}

TEST(Failures, ALockedFileCannotBeOpened) {
  Phone phone;
  ASSERT_TRUE(phone.create("Held", R"({"items": [{"kind": "Field", "caption": "Name"}], "records": [{"Name": "a"}]})"));
  const int fd = ::open(phone.path("Held").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const Trace run = phone.drive("SoftLeft SoftLeft");
  ::close(fd);
  EXPECT_TRUE(run.afterKey(1).shows("Error reading data")) << run.afterKey(1).text;
  EXPECT_EQ(run.last().selected(), "Held") << run.last().text;
  EXPECT_EQ(run.last().softKeys(), "Open                                Menu");
  // Released, it opens.
  EXPECT_EQ(phone.drive("SoftLeft").last().body(), (std::vector<std::string>{"a"}));
}

TEST(Failures, AMissingFileOnTheCommandLineShowsItsMessageAndTheProgramEnds) {
  Phone phone;
  const Trace run = phone.drive("SoftLeft Down", phone.scratch() + "/Gone.tsq");
  EXPECT_TRUE(run.afterKey(0).shows("Error reading data")) << run.afterKey(0).text;
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.last().title(), "");  // no window left
  EXPECT_FALSE(fs::exists(phone.path("Gone")));
}

// ---- Importing and deleting databases ---------------------------------------

TEST(Import, AFileNamedOnTheCommandLineIsCopiedInAfterTheTwoQuestions) {
  constexpr const char* mine = R"({"items": [{"kind": "Field", "caption": "Name"}], "records": [{"Name": "mine"}]})";
  constexpr const char* theirs =
      R"({"items": [{"kind": "Field", "caption": "Name"}], "records": [{"Name": "theirs"}]})";
  struct Case {
    const char* name;
    bool exists;       // the program folder already has a "Shared"
    const char* keys;  // answers: SoftLeft = Yes, SoftRight = No
    std::vector<std::string> rows;  // the list shown, empty when the program ended
    const char* kept;               // the record in the program folder's copy afterwards
  };
  const std::vector<Case> cases = {
      {"new name", false, "", {"theirs"}, "theirs"},
      {"overwrite", true, "SoftLeft", {"theirs"}, "theirs"},
      {"use the existing", true, "SoftRight SoftLeft", {"mine"}, "mine"},
      {"decline both", true, "SoftRight SoftRight", {}, "mine"},
  };
  for (const auto& c : cases) {
    Phone phone;
    ASSERT_TRUE(phone.create("Shared", theirs, phone.scratch()));
    if (c.exists) {
      ASSERT_TRUE(phone.create("Shared", mine));
    }
    const std::vector<std::uint8_t> source = e2e::fileBytes(phone.scratch() + "/Shared.tsq");

    const Trace run = phone.drive(std::string(c.keys) + " Down", phone.scratch() + "/Shared.tsq");
    if (c.exists) {
      EXPECT_TRUE(run.afterKey(0).shows("Ok to overwrite it?")) << c.name << "\n" << run.afterKey(0).text;
    }
    if (c.exists && std::string(c.keys).rfind("SoftRight", 0) == 0) {
      EXPECT_TRUE(run.afterKey(1).shows("Use the one you already have?")) << c.name << "\n" << run.afterKey(1).text;
    }
    if (c.rows.empty()) {
      EXPECT_EQ(run.last().title(), "") << c.name << ": the program ends without a message\n" << run.last().text;
    } else {
      EXPECT_EQ(run.last().body(), c.rows) << c.name << "\n" << run.last().text;
    }
    EXPECT_EQ(e2e::fileBytes(phone.scratch() + "/Shared.tsq"), source) << c.name;
    EXPECT_EQ(phone.drive("SoftLeft").last().body(), (std::vector<std::string>{c.kept})) << c.name;
  }
}

TEST(Import, AFileAlreadyInTheProgramFolderOpensInPlaceWithoutQuestions) {
  Phone phone;
  ASSERT_TRUE(phone.create("Here", R"({"items": [{"kind": "Field", "caption": "Name"}], "records": [{"Name": "x"}]})"));
  const std::vector<std::uint8_t> before = e2e::fileBytes(phone.path("Here"));
  const Screen screen = phone.drive("", phone.path("Here")).last();
  EXPECT_EQ(screen.body(), (std::vector<std::string>{"x"})) << screen.text;
  EXPECT_EQ(e2e::fileBytes(phone.path("Here")), before);
}

TEST(Catalogue, DeletesADatabaseOnlyAfterConfirmation) {
  Phone phone;
  constexpr const char* definition = R"({"items": [{"kind": "Field", "caption": "Name"}]})";
  for (const char* name : {"Alpha", "Beta", "Gamma"}) ASSERT_TRUE(phone.create(name, definition));

  const Trace cancelled = phone.drive("Down SoftRight 2 SoftRight");
  EXPECT_TRUE(cancelled.afterKey(3).shows("OK to permanently delete")) << cancelled.afterKey(3).text;
  EXPECT_EQ(cancelled.last().body(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
  EXPECT_TRUE(fs::exists(phone.path("Beta")));

  const Screen deleted = phone.drive("Down SoftRight 2 SoftLeft").last();
  EXPECT_EQ(deleted.body(), (std::vector<std::string>{"Alpha", "Gamma"}));
  EXPECT_EQ(deleted.selected(), "Gamma");  // the entry now at the same index
  EXPECT_FALSE(fs::exists(phone.path("Beta")));

  const Screen last = phone.drive("Down SoftRight 2 SoftLeft").last();
  EXPECT_EQ(last.body(), (std::vector<std::string>{"Alpha"}));
  EXPECT_EQ(last.selected(), "Alpha");
}

// ---- Edits are saved --------------------------------------------------------

TEST_F(Program, EveryKindOfFieldIsSavedAndFoundAfterARestartInItsSortedPlace) {
  const std::string keys = std::string(showBob) + " " + edit +
                           " Down Up \"Aaron\""                 // Name: entering it again selects the text
                           " Down 7"                             // Count
                           " Down * 1 # 2 5"                     // Price
                           " Down 9 # 9 9"                       // Cost
                           " Down 0 2 2 9 2 0 2 4"               // Day, month first
                           " Down 2 3 0 5 0 0"                   // At
                           " Down Action"                        // Paid, unchecked
                           " Down Left"                          // Kind: Green to Red
                           " SoftLeft";                          // Done
  const Trace run = phone.drive(keys);
  EXPECT_EQ(run.last().softKeys(), "Dial                                Menu") << run.last().text;
  std::vector<std::string> saved = {"Name Aaron", "Count 7",       "Price -1.25", "Cost 9.99",
                                    "Day 2/29/2024", "At 11:05:00 PM", "[ ] Paid",   "Kind Red",
                                    "Total -8.75",  "Ratio -0.17"};  // calculated fields cut, not round
  EXPECT_EQ(formRows(run.last()), saved);
  saved[2] = "Price -1.250000";  // as the stored value is shown
  EXPECT_EQ(phone.check(phone.path("Kinds")), "sound");

  const Trace again = phone.drive("SoftLeft Action");
  EXPECT_EQ(again.afterKey(1).body(), (std::vector<std::string>{"Aaron", "Alice"}));
  EXPECT_EQ(formRows(again.last()), saved);
}

TEST(Edits, ADigitTypedIntoAPickerIsSavedWithoutLeavingTheField) {
  Phone phone;
  ASSERT_TRUE(phone.create("Dates", R"({
    "items": [{"kind": "Field", "caption": "Name"},
              {"kind": "Field", "caption": "Day", "valueType": "Date"}],
    "records": [{"Name": "Ann", "Day": "2024-05-20"}]
  })"));
  // Month "1", which could still become 10 to 12, then Done at once.
  const Trace run = phone.drive("SoftLeft Action SoftRight 4 Down 1 SoftLeft");
  EXPECT_EQ(formRows(run.last()), (std::vector<std::string>{"Ann", "1/20/2024"})) << run.last().text;
  EXPECT_EQ(formRows(phone.drive("SoftLeft Action").last()), (std::vector<std::string>{"Ann", "1/20/2024"}));
}

TEST_F(Program, EmptiedValuesAreDroppedAndNewOnesWritten) {
  // Bob loses every value but his name; Alice gets a value of every kind.
  const std::string clearBob = std::string(showBob) + " " + edit +
                               " Down 0 Down 0 Down 0 Down * Down * Down Action SoftLeft";
  Trace run = phone.drive(clearBob);
  EXPECT_EQ(phone.check(phone.path("Kinds")), "sound");
  const std::string fillAlice = std::string("SoftLeft Action ") + edit +
                                " Down 5 Down 2 Down 1 # 5 Down 0 1 0 2 2 0 2 5 Down 0 7 0 0 0 0 Down Action"
                                " Down Right Right SoftLeft";
  run = phone.drive(fillAlice);
  EXPECT_EQ(phone.check(phone.path("Kinds")), "sound");

  const Trace alice = phone.drive("SoftLeft Action");
  EXPECT_EQ(formRows(alice.last()),
            (std::vector<std::string>{"Name Alice", "Count 5", "Price 2.000000", "Cost 1.50", "Day 1/2/2025",
                                      "At 7:00:00 AM", "[x] Paid", "Kind Blue", "Total 10.00", "Ratio 0.40"}));
  const Trace bob = phone.drive(showBob);
  EXPECT_EQ(formRows(bob.last()), (std::vector<std::string>{"Name Bob", "Count 0", "Price 0.000000", "Cost 0.00",
                                                            "Day", "At", "[ ] Paid", "Kind Green", "Total 0.00",
                                                            "Ratio *****"}));
}

TEST_F(Program, CancelDiscardsTheEdit) {
  const std::vector<std::uint8_t> before = e2e::fileBytes(phone.path("Kinds"));
  const Trace run = phone.drive(std::string(showBob) + " " + edit + " Down 9 Down Down Down * Down Action SoftRight");
  EXPECT_EQ(run.last().softKeys(), "Dial                                Menu");
  EXPECT_EQ(formRows(run.last()), bobRows);
  EXPECT_EQ(e2e::fileBytes(phone.path("Kinds")), before);
  EXPECT_EQ(formRows(phone.drive(showBob).last()), bobRows);
}

TEST_F(Program, AFractionInAnIntegerFieldIsRefusedOnceAndEditingStays) {
  const Trace run = phone.drive(std::string(showBob) + " " + edit + " Down 1 # 5 SoftLeft SoftLeft");
  EXPECT_TRUE(run.afterKey(10).shows("Data conversion error")) << run.afterKey(10).text;
  EXPECT_FALSE(run.last().shows("Data conversion error")) << run.last().text;
  EXPECT_EQ(run.last().softKeys(), "Done                              Cancel");
  EXPECT_EQ(collapsed(run.last().selected()), "Count 1.5");
  EXPECT_EQ(phone.check(phone.path("Kinds")), "sound");
  EXPECT_EQ(formRows(phone.drive(showBob).last()), bobRows);
}

TEST_F(Program, BackWhileEditingATextErasesACharacterAndDoneKeepsTheRest) {
  phone.drive(std::string(showBob) + " " + edit + " Right Right Right Back Back SoftLeft");
  EXPECT_EQ(phone.check(phone.path("Kinds")), "sound");
  const Trace run = phone.drive("SoftLeft Action");
  EXPECT_EQ(run.afterKey(1).body(), (std::vector<std::string>{"Alice", "B"}));
  EXPECT_EQ(collapsed(run.last().selected()), "Name Alice");
}

}  // namespace
