#include "platform/phone/calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/emulator.h"
#include "platform/phone/child_process.h"
#include "platform/phone/phone_clock.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace platform::phone {

namespace {

constexpr std::u16string_view telPrefix = u"TEL:";

bool startsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Characters a tel: URI holds as they are: digits and letters, the visual
// separators, '+' and '*', and what its parameters use. '#' would start a
// fragment and '%' an escape, so both are encoded.
bool standsAsItIs(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return std::string_view("+-.()*;=_!~'[]/:&$").find(static_cast<char>(c)) != std::string_view::npos;
}

// One line of the call log holds one request: a control character (a line
// break, a tab) would split it, so each is written as U+FFFD.
std::string logText(std::u16string_view request) {
  std::u16string text(request);
  for (char16_t& c : text) {
    if (c < 0x20 || c == 0x7F) c = 0xFFFD;
  }
  return toUtf8(text);
}

// Appends the line with one write, so that lines of several programs
// calling at once do not interleave.
void appendToCallLog(const std::string& line) {
  const std::string path = deviceRoot() + "/calls.log";
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace

bool isCallRequest(LPCWSTR verb, LPCWSTR file) {
  if (verb == nullptr || file == nullptr || IS_INTRESOURCE(verb) || IS_INTRESOURCE(file)) return false;
  return _wcsicmp(verb, u"open") == 0 && startsWithIgnoringCase(file, telPrefix);
}

std::string telUri(std::u16string_view request) {
  std::u16string_view number = request;
  if (startsWithIgnoringCase(number, telPrefix)) number.remove_prefix(telPrefix.size());
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string uri = "tel:";
  for (unsigned char c : toUtf8(number)) {
    if (standsAsItIs(c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 0xF];
    }
  }
  return uri;
}

void placeCall(std::u16string_view request) {
  appendToCallLog(phoneClockText() + "\t" + logText(request) + "\n");
  const char* handler = std::getenv("TESSRA_TEL_HANDLER");
  if (handler != nullptr && *handler != '\0') startDetached(handler, {telUri(request)});
}

}  // namespace platform::phone

namespace platform {
void waitForCallHandlers() { phone::waitForDetached(); }
}  // namespace platform
