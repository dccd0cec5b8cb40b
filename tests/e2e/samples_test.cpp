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

}  // namespace
