// The SMS sending service: handles, what it accepts, the outbox files'
// form and order, and the sending command that may refuse a message.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "phone_fixture.h"
#include "platform/sms.h"
#include "platform/text.h"

namespace {

using phonetest::PhoneTest;

SMS_ADDRESS address(const std::u16string& number, SMS_ADDRESS_TYPE type = SMSAT_UNKNOWN) {
  SMS_ADDRESS a{};
  a.smsatAddressType = type;
  number.copy(a.ptsAddress, std::min<std::size_t>(number.size(), SMS_MAX_ADDRESS_LENGTH));
  return a;
}

class Sms : public PhoneTest {
 protected:
  void SetUp() override {
    PhoneTest::SetUp();
    ASSERT_EQ(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, &handle_, nullptr), S_OK);
  }
  void TearDown() override {
    EXPECT_EQ(SmsClose(handle_), S_OK);
    EXPECT_EQ(platform::openSmsHandleCount(), 0);
    PhoneTest::TearDown();
  }

  // Sends text (its terminator included, as a caller hands over a string).
  HRESULT send(const std::u16string& number, const std::u16string& text, SMS_MESSAGE_ID* id = nullptr) {
    const SMS_ADDRESS to = address(number);
    TEXT_PROVIDER_SPECIFIC_DATA provider{};
    provider.psMessageClass = PS_MESSAGE_CLASS1;
    return SmsSendMessage(handle_, nullptr, &to, nullptr, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)),
                          reinterpret_cast<const BYTE*>(&provider), sizeof provider, SMSDE_OPTIMAL,
                          SMS_OPTION_DELIVERY_NONE, id);
  }

  std::vector<std::string> outbox() const { return names("sms/outbox"); }
  // The texts of the outbox's messages in the order of their names.
  std::vector<std::string> outboxTexts() const {
    std::vector<std::string> texts;
    for (const std::string& name : outbox()) {
      const std::string message = read("sms/outbox/" + name);
      texts.push_back(message.substr(message.find("\n\n") + 2));
    }
    return texts;
  }

  SMS_HANDLE handle_ = 0;
};

TEST_F(Sms, AnAcceptedMessageIsOneFileInExactlyThisForm) {
  SMS_MESSAGE_ID id = INVALID_MESSAGE_ID;
  ASSERT_EQ(send(u"+49 170 1234567", u"See you at 8\nBring the \u00e9clairs", &id), S_OK);
  EXPECT_NE(id, INVALID_MESSAGE_ID);
  const auto files = outbox();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(read("sms/outbox/" + files[0]),
            "To: +49 170 1234567\nDate: 2024-05-17 09:30:05\n\nSee you at 8\nBring the \xc3\xa9"
            "clairs");
  EXPECT_TRUE(names("sms/tmp").empty());
}

TEST_F(Sms, AnEmptyTextIsAMessageToo) {
  ASSERT_EQ(send(u"112", u""), S_OK);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_EQ(read("sms/outbox/" + outbox()[0]), "To: 112\nDate: 2024-05-17 09:30:05\n\n");
}

// Runs this test program again as another program of the same phone, to
// send one message (see SmsChild below).
void sendFromAnotherProcess(const std::string& root, const std::string& text) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("TESSRA_TEST_SMS_ROOT", root.c_str(), 1);
    ::setenv("TESSRA_TEST_SMS_TEXT", text.c_str(), 1);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
    ::execl("/proc/self/exe", "child", "--gtest_filter=SmsChild.SendsWhenAsked", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Sms, NamesSortInSendingOrderWithinOneSecondAndAcrossProcesses) {
  ASSERT_EQ(send(u"1", u"first"), S_OK);
  ASSERT_EQ(send(u"2", u"second"), S_OK);
  // Whatever sends the outbox on took the first message away.
  const std::string taken = outbox().front();
  phonetest::fs::remove(path("sms/outbox/" + taken));
  sendFromAnotherProcess(root_.string(), "third");
  ASSERT_EQ(send(u"4", u"fourth"), S_OK);
  EXPECT_EQ(outboxTexts(), (std::vector<std::string>{"second", "third", "fourth"}));
  EXPECT_GT(outbox().front(), taken);
}

TEST_F(Sms, NamesKeepGrowingWhenTheOutboxWasEmptied) {
  ASSERT_EQ(send(u"1", u"first"), S_OK);
  const std::string taken = outbox().front();
  phonetest::fs::remove(path("sms/outbox/" + taken));
  ASSERT_EQ(send(u"1", u"second"), S_OK);
  ASSERT_EQ(outbox().size(), 1u);
  EXPECT_GT(outbox().front(), taken);
}

TEST_F(Sms, TheOrderHoldsWhenTheSequenceFileIsLostOrDamaged) {
  ASSERT_EQ(send(u"1", u"first"), S_OK);
  ASSERT_EQ(send(u"2", u"second"), S_OK);
  write("sms/sequence", "garbage");
  ASSERT_EQ(send(u"3", u"third"), S_OK);
  write("sms/sequence", "1\n");  // behind the outbox: taken names are stepped over
  ASSERT_EQ(send(u"4", u"fourth"), S_OK);
  EXPECT_EQ(outboxTexts(), (std::vector<std::string>{"first", "second", "third", "fourth"}));
}

TEST_F(Sms, TheCommandGetsTheNumberAndTheTextAsItsTwoArguments) {
  const std::string out = path("command.out").string();
  ::setenv("TESSRA_SMS_COMMAND", script("send.sh", "printf '%s|' \"$#\" \"$@\" > '" + out + "'\n").c_str(), 1);
  ASSERT_EQ(send(u"+1 555", u"two words; $HOME\nand a line"), S_OK);
  EXPECT_EQ(read("command.out"), "2|+1 555|two words; $HOME\nand a line|");
  ASSERT_EQ(outbox().size(), 1u);
}

TEST_F(Sms, ARefusingOrMissingCommandGivesAnErrorAndNoFile) {
  ::setenv("TESSRA_SMS_COMMAND", script("refuse.sh", "exit 1\n").c_str(), 1);
  EXPECT_EQ(send(u"5551234", u"hello"), SMS_E_MISC);
  ::setenv("TESSRA_SMS_COMMAND", script("crash.sh", "kill -9 $$\n").c_str(), 1);
  EXPECT_EQ(send(u"5551234", u"hello"), SMS_E_MISC);
  ::setenv("TESSRA_SMS_COMMAND", path("no-such-program").c_str(), 1);
  EXPECT_EQ(send(u"5551234", u"hello"), SMS_E_MISC);
  EXPECT_TRUE(outbox().empty());
  EXPECT_TRUE(names("sms/tmp").empty());
}

TEST_F(Sms, WhatCannotBeSentIsRefusedBeforeAnythingIsWritten) {
  const std::u16string longest(SMS_MAX_MESSAGE_BYTES / 2 - 1, u'x');  // with its terminator: the most there is
  EXPECT_EQ(send(u"1", longest), S_OK);
  EXPECT_EQ(send(u"1", longest + u"x"), SMS_E_TOOMUCHDATA);
  EXPECT_EQ(send(u"", u"text"), SMS_E_INVALIDADDRESS);
  EXPECT_EQ(send(u"1\n2", u"text"), SMS_E_INVALIDADDRESS);
  EXPECT_EQ(send(u"1", std::u16string(u"a\0b", 3)), SMS_E_INVALIDDATA);

  const SMS_ADDRESS to = address(u"1");
  const BYTE odd[3] = {'a', 0, 'b'};
  TEXT_PROVIDER_SPECIFIC_DATA provider{};
  const auto* data = reinterpret_cast<const BYTE*>(&provider);
  EXPECT_EQ(SmsSendMessage(handle_, nullptr, &to, nullptr, odd, 3, data, sizeof provider, SMSDE_OPTIMAL, 0, nullptr),
            SMS_E_INVALIDDATA);
  EXPECT_EQ(SmsSendMessage(handle_, nullptr, &to, nullptr, odd, 2, nullptr, 0, SMSDE_OPTIMAL, 0, nullptr),
            SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE);
  EXPECT_EQ(
      SmsSendMessage(handle_, nullptr, &to, nullptr, odd, 2, data, sizeof provider - 1, SMSDE_OPTIMAL, 0, nullptr),
      SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE);
  // The older, shorter form of the provider data is a text's as well.
  EXPECT_EQ(SmsSendMessage(handle_, nullptr, &to, nullptr, odd, 2, data,
                           offsetof(TEXT_PROVIDER_SPECIFIC_DATA, dwExtParams), SMSDE_OPTIMAL, 0, nullptr),
            S_OK);
  SMS_ADDRESS unterminated{};
  for (WCHAR& c : unterminated.ptsAddress) c = u'1';
  EXPECT_EQ(SmsSendMessage(handle_, nullptr, &unterminated, nullptr, odd, 2, data, sizeof provider, SMSDE_OPTIMAL, 0,
                           nullptr),
            SMS_E_INVALIDADDRESS);
  SMS_ADDRESS badType = address(u"1");
  badType.smsatAddressType = static_cast<SMS_ADDRESS_TYPE>(99);
  EXPECT_EQ(
      SmsSendMessage(handle_, nullptr, &badType, nullptr, odd, 2, data, sizeof provider, SMSDE_OPTIMAL, 0, nullptr),
      SMS_E_INVALIDADDRESS);
  EXPECT_EQ(outbox().size(), 2u);
}

// The other program of NamesSortInSendingOrderWithinOneSecondAndAcrossProcesses.
TEST(SmsChild, SendsWhenAsked) {
  const char* root = std::getenv("TESSRA_TEST_SMS_ROOT");
  const char* text = std::getenv("TESSRA_TEST_SMS_TEXT");
  if (root == nullptr || text == nullptr) GTEST_SKIP() << "only run by another test";
  platform::setDeviceRoot(root);
  SMS_HANDLE handle = 0;
  ASSERT_EQ(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, &handle, nullptr), S_OK);
  const SMS_ADDRESS to = address(u"3");
  const std::u16string message = platform::fromUtf8(text);
  TEXT_PROVIDER_SPECIFIC_DATA provider{};
  EXPECT_EQ(SmsSendMessage(handle, nullptr, &to, nullptr, reinterpret_cast<const BYTE*>(message.data()),
                           static_cast<DWORD>(message.size() * sizeof(char16_t)),
                           reinterpret_cast<const BYTE*>(&provider), sizeof provider, SMSDE_OPTIMAL, 0, nullptr),
            S_OK);
  EXPECT_EQ(SmsClose(handle), S_OK);
}

TEST(SmsHandles, OnlyTextSendingOpensAndAClosedHandleIsRefused) {
  SMS_HANDLE handle = 7;
  HANDLE event = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(SmsOpen(u"Microsoft WDP SMS Protocol", SMS_MODE_SEND, &handle, &event), SMS_E_INVALIDPROTOCOL);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(event, nullptr);
  EXPECT_EQ(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_RECEIVE | SMS_MODE_SEND, &handle, nullptr),
            SMS_E_RECEIVEHANDLEALREADYOPEN);
  EXPECT_EQ(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, nullptr, nullptr), E_INVALIDARG);
  ASSERT_EQ(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, &handle, nullptr), S_OK);
  EXPECT_EQ(platform::openSmsHandleCount(), 1);
  EXPECT_EQ(SmsClose(handle), S_OK);
  EXPECT_EQ(SmsClose(handle), E_HANDLE);
  const SMS_ADDRESS to = address(u"1");
  TEXT_PROVIDER_SPECIFIC_DATA provider{};
  EXPECT_EQ(SmsSendMessage(handle, nullptr, &to, nullptr, nullptr, 0, reinterpret_cast<const BYTE*>(&provider),
                           sizeof provider, SMSDE_OPTIMAL, 0, nullptr),
            E_HANDLE);
  EXPECT_EQ(platform::openSmsHandleCount(), 0);
}

}  // namespace
