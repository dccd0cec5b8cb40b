// Calls: "open" on a "TEL:" request through the shell writes the call log
// and starts the configured dialler with a tel: URI.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>

#include "phone_fixture.h"
#include "platform/phone.h"
#include "platform/phone/calls.h"
#include "platform/windows.h"

namespace {

using phonetest::PhoneTest;

BOOL shellOpen(LPCWSTR verb, LPCWSTR file) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = verb;
  info.lpFile = file;
  info.nShow = 5;
  return ShellExecuteExW(&info);
}

TEST(TelUri, EncodesWhatATelUriCannotHoldAsItIs) {
  const struct {
    std::u16string request;
    std::string uri;
  } cases[] = {
      {u"TEL:5551234", "tel:5551234"},
      {u"tel:+1-555-123.4567", "tel:+1-555-123.4567"},
      {u"TEL:(030) 123 45", "tel:(030)%20123%2045"},
      {u"TEL:*21#", "tel:*21%23"},
      {u"TEL:100%", "tel:100%25"},
      {u"TEL:555,,12?x", "tel:555%2C%2C12%3Fx"},
      {u"TEL:7;ext=22", "tel:7;ext=22"},
      {u"TEL:\u00e9\u20ac", "tel:%C3%A9%E2%82%AC"},
      {u"TEL:1\n2\t3", "tel:1%0A2%093"},
      {u"TEL:", "tel:"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::phone::telUri(c.request), c.uri);
}

TEST(CallRequest, IsOpenOnATelRequestInAnyCase) {
  EXPECT_TRUE(platform::phone::isCallRequest(u"open", u"TEL:1"));
  EXPECT_TRUE(platform::phone::isCallRequest(u"OPEN", u"tel:1"));
  EXPECT_TRUE(platform::phone::isCallRequest(u"open", u"TEL:"));
  EXPECT_FALSE(platform::phone::isCallRequest(u"print", u"TEL:1"));
  EXPECT_FALSE(platform::phone::isCallRequest(u"open", u"TE"));
  EXPECT_FALSE(platform::phone::isCallRequest(u"open", u"\\Tessra.tsq"));
  EXPECT_FALSE(platform::phone::isCallRequest(nullptr, u"TEL:1"));
  EXPECT_FALSE(platform::phone::isCallRequest(u"open", nullptr));
}

using Calls = PhoneTest;

TEST_F(Calls, EachCallIsOneLineWithThePhoneClockAndTheRequestAsHandedOver) {
  EXPECT_TRUE(shellOpen(u"open", u"TEL:+49 (30) 555-12"));
  platform::setFixedLocalTime(SYSTEMTIME{2025, 12, 0, 31, 23, 59, 58, 0});
  EXPECT_TRUE(shellOpen(u"open", u"TEL:"));
  EXPECT_TRUE(shellOpen(u"open", u"TEL:\u00fc1"));
  EXPECT_EQ(read("calls.log"),
            "2024-05-17 09:30:05\tTEL:+49 (30) 555-12\n"
            "2025-12-31 23:59:58\tTEL:\n"
            "2025-12-31 23:59:58\tTEL:\xc3\xbc"
            "1\n");
  ASSERT_EQ(platform::shellRequests().size(), 3u);
  EXPECT_EQ(platform::shellRequests()[0].file, u"TEL:+49 (30) 555-12");
}

TEST_F(Calls, ALineBreakInTheRequestCannotForgeALine) {
  EXPECT_TRUE(shellOpen(u"open", u"TEL:1\n2024-01-01 00:00:00\tTEL:2"));
  EXPECT_EQ(read("calls.log"),
            "2024-05-17 09:30:05\tTEL:1\xef\xbf\xbd"
            "2024-01-01 00:00:00\xef\xbf\xbdTEL:2\n");
}

TEST_F(Calls, OtherRequestsPlaceNoCall) {
  EXPECT_TRUE(shellOpen(u"open", u"\\Tessra.tsq"));
  EXPECT_TRUE(shellOpen(u"edit", u"TEL:1"));
  EXPECT_FALSE(phonetest::fs::exists(path("calls.log")));
}

TEST_F(Calls, TheHandlerGetsTheRequestAsOneTelUriArgument) {
  const std::string out = path("handler.out").string();
  ::setenv("TESSRA_TEL_HANDLER", script("dial.sh", "printf '%s|' \"$#\" \"$@\" > '" + out + "'\n").c_str(), 1);
  EXPECT_TRUE(shellOpen(u"open", u"TEL:+1 555#1"));
  platform::waitForCallHandlers();
  EXPECT_EQ(read("handler.out"), "1|tel:+1%20555%231|");
  EXPECT_EQ(read("calls.log"), "2024-05-17 09:30:05\tTEL:+1 555#1\n");
  // The handler was reaped: no child of this process is left, not even a
  // zombie.
  int status = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(Calls, AFailingOrMissingHandlerStillLogsTheCall) {
  ::setenv("TESSRA_TEL_HANDLER", script("fail.sh", "exit 3\n").c_str(), 1);
  EXPECT_TRUE(shellOpen(u"open", u"TEL:1"));
  ::setenv("TESSRA_TEL_HANDLER", path("no-such-program").c_str(), 1);
  EXPECT_TRUE(shellOpen(u"open", u"TEL:2"));
  platform::waitForCallHandlers();
  EXPECT_EQ(read("calls.log"), "2024-05-17 09:30:05\tTEL:1\n2024-05-17 09:30:05\tTEL:2\n");
}

TEST_F(Calls, TheHandlerIsFoundInPathAndRunsWithoutAShell) {
  // A name without '/' is looked up in PATH; the argument reaches the
  // program unchanged even though it holds what a shell would expand.
  makeFolders("bin");
  const std::string out = path("handler.out").string();
  script("bin/dialler", "printf '%s' \"$1\" > '" + out + "'\n");
  const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ::setenv("PATH", (path("bin").string() + ":" + savedPath).c_str(), 1);
  ::setenv("TESSRA_TEL_HANDLER", "dialler", 1);
  EXPECT_TRUE(shellOpen(u"open", u"TEL:$(id)`x`"));
  platform::waitForCallHandlers();
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_EQ(read("handler.out"), "tel:$(id)%60x%60");
}

}  // namespace
