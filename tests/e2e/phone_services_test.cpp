// The phone's services from the keypad, on the Contacts sample: a call
// found in calls.log, a text found in the SMS outbox and remembered in the
// database, and the database e-mailed into the mail store's Outbox.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/phone.h"

namespace fs = std::filesystem;

namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator(folder, missing)) files.push_back(entry.path().string());
  return files;
}

class PhoneServices : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string definition = readText(std::string(SAMPLES_DIR) + "/contacts.json");
    ASSERT_FALSE(definition.empty());
    ASSERT_TRUE(phone.create("Contacts", definition));
  }
  e2e::Phone phone;
};

// Open Contacts and go to Ben Novak's record, the second.
constexpr const char* showBen = "SoftLeft Down Action";
// From the form's first field down to its SMS button.
constexpr const char* toSmsButton = "Down Down Down Down Down Down Down";

TEST_F(PhoneServices, DialOnTheListCallsTheSelectedContactsMobile) {
  const e2e::Trace run = phone.drive("SoftLeft Down SoftLeft");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(readText(phone.device() + "/calls.log"), "2026-01-15 10:30:00\tTEL:07940 561913\n");
}

TEST_F(PhoneServices, TheSmsButtonSendsTheRecordsTextAndTheDatabaseRemembersIt) {
  const e2e::Trace run = phone.drive(std::string(showBen) + " " + toSmsButton + " Action");
  EXPECT_TRUE(run.last().shows("Send SMS")) << run.last().text;
  // The number box has the focus.
  EXPECT_NE(run.last().selected().find("07940 561913"), std::string::npos) << run.last().text;
  EXPECT_TRUE(run.last().shows("Owes me lunch")) << run.last().text;

  const e2e::Trace sent = phone.drive(std::string(showBen) + " " + toSmsButton + " Action SoftLeft");
  EXPECT_TRUE(sent.last().shows("SMS message sent")) << sent.last().text;
  const auto outbox = filesIn(phone.device() + "/sms/outbox");
  ASSERT_EQ(outbox.size(), 1u);
  EXPECT_EQ(readText(outbox[0]), "To: 07940 561913\nDate: 2026-01-15 10:30:00\n\nOwes me lunch");
  EXPECT_EQ(phone.check(phone.path("Contacts")), "sound");

  // Farid Haddad has no note: the text sent last is offered.
  const e2e::Trace farid = phone.drive("SoftLeft Down Down Down Down Down Down Action " + std::string(toSmsButton) +
                                       " Action");
  EXPECT_TRUE(farid.last().shows("Owes me lunch")) << farid.last().text;
}

TEST_F(PhoneServices, EmailFromTheCatalogueQueuesTheDatabaseInTheOutbox) {
  const e2e::Trace run = phone.drive("SoftRight 3 Down \"ann@example.com\" SoftLeft");
  EXPECT_TRUE(run.last().shows("The database is now in your")) << run.last().text;
  const auto messages = filesIn(phone.device() + "/mail/ActiveSync/Outbox/new");
  ASSERT_EQ(messages.size(), 1u);
  const std::string message = readText(messages[0]);
  EXPECT_NE(message.find("To: ann@example.com"), std::string::npos) << message;
  EXPECT_NE(message.find("Subject: Contacts"), std::string::npos) << message;
  EXPECT_NE(message.find("filename=Contacts.tsq"), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(phone.device() + "/Tessra.tmp"));
}

}  // namespace
