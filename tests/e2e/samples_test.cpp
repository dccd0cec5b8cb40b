// The sample databases as a user first sees them: every caption of their
// forms reads in full on the phone's 40-column screen.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/e2e/phone.h"

namespace {

using Json = nlohmann::ordered_json;

// What the form shows of an item's caption when it is on the screen.
std::string shownCaption(const Json& item) {
  const std::string kind = item.value("kind", "");
  const std::string caption = item.value("caption", "");
  if (kind == "Label") return caption;
  if (kind == "CheckBox") return "] " + caption;
  if (kind == "GoToButton" || kind == "SearchButton" || kind == "SmsButton") return "[ " + caption + " ]";
  return {};
}

TEST(Samples, EveryCaptionReadsInFullWhileWalkingTheForm) {
  for (const char* name : {"contacts", "elements", "expenses", "notebook"}) {
    std::ifstream in(std::string(SAMPLES_DIR) + "/" + name + ".json");
    ASSERT_TRUE(in) << name;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    const Json definition = Json::parse(text);
    e2e::Phone phone;
    ASSERT_TRUE(phone.create("Sample", text)) << name;

    std::string keys = "SoftLeft";
    if (definition.contains("password")) keys += " \"" + definition["password"].get<std::string>() + "\" SoftLeft";
    keys += " Action";  // the first record in the form
    for (std::size_t i = 0; i < definition["items"].size(); ++i) keys += " Down";
    const e2e::Trace run = phone.drive(keys);

    std::string seen;
    for (const auto& screen : run.screens) seen += screen.text;
    for (const auto& item : definition["items"]) {
      const std::string caption = shownCaption(item);
      if (!caption.empty()) {
        EXPECT_NE(seen.find(caption), std::string::npos) << name << ": " << caption;
      }
    }
  }
}

// Both ways of searching from the keypad on the Contacts sample: its Family
// button narrows the list, Search finds by the first letters of a name
// among the records left, and Show all brings every record back.
TEST(Samples, TheContactsAreSearchedWithTheirButtonsAndBySearch) {
  std::ifstream in(std::string(SAMPLES_DIR) + "/contacts.json");
  ASSERT_TRUE(in);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  e2e::Phone phone;
  ASSERT_TRUE(phone.create("Contacts", buffer.str()));
  // Open, show Anna Berg, walk up to the Family button and press it; back
  // to the list; Search for "j"; the found record's form, down to Show all.
  const e2e::Trace run = phone.drive("SoftLeft Action Up Up Up Action Back SoftRight 5 \"j\" SoftLeft Action Down Down Action Back");
  const e2e::Screen& family = run.afterKey(7);
  EXPECT_EQ(family.selected(), "Anna Berg");
  EXPECT_TRUE(family.shows("Katja Kowalski")) << family.text;
  EXPECT_FALSE(family.shows("Ben Novak")) << family.text;      // a friend
  EXPECT_FALSE(family.shows("Jonas Weber")) << family.text;    // a friend too
  const e2e::Screen& found = run.afterKey(11);
  EXPECT_EQ(found.selected(), "Katja Kowalski") << found.text;  // Jonas is not in the family
  EXPECT_EQ(found.body(), family.body());
  const e2e::Screen& all = run.last();
  EXPECT_TRUE(all.shows("Ben Novak")) << all.text;
  EXPECT_TRUE(all.shows("Jonas Weber")) << all.text;
  EXPECT_EQ(all.selected(), "Katja Kowalski") << all.text;
}

}  // namespace
