// Stands in for the user while a command waits for keys (a dialog, a
// message box): each time the program asks for a key, the screen is kept,
// the next step runs on the dialog shown (it may read and change its
// boxes) and its key is pressed. With no step left the action key answers,
// which is a message box's OK; a program that keeps asking after a few of
// those is left, so that a test that went wrong ends instead of hanging.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/phone.h"
#include "platform/windows.h"

namespace commandtest {

class Answers {
 public:
  using Act = std::function<void(HWND dialog)>;

  Answers() {
    platform::setInputSource([this]() -> std::optional<platform::KeyEvent> {
      screens_.push_back(platform::renderScreen().text());
      if (next_ < steps_.size()) {
        unanswered_ = 0;
        const Step& step = steps_[next_++];
        if (step.act) step.act(GetParent(GetFocus()));
        return platform::KeyEvent{step.key, 0};
      }
      if (++unanswered_ > maxUnanswered) return std::nullopt;
      return platform::KeyEvent{platform::Key::Action, 0};
    });
  }

  ~Answers() { platform::setInputSource(nullptr); }
  Answers(const Answers&) = delete;
  Answers& operator=(const Answers&) = delete;

  // Runs act on the dialog, then presses key.
  Answers& then(Act act, platform::Key key) {
    steps_.push_back({std::move(act), key});
    return *this;
  }
  Answers& press(platform::Key key) { return then(nullptr, key); }

  // Every screen the program waited on, in order.
  const std::vector<std::string>& screens() const { return screens_; }
  std::string lastScreen() const { return screens_.empty() ? std::string() : screens_.back(); }
  bool allStepsTaken() const { return next_ == steps_.size(); }
  // Screens shown since the last step: the message boxes the action key answered.
  int unanswered() const { return unanswered_; }

 private:
  struct Step {
    Act act;
    platform::Key key;
  };
  static constexpr int maxUnanswered = 10;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::vector<std::string> screens_;
  int unanswered_ = 0;
};

// The text of a dialog's control.
inline std::u16string itemText(HWND dialog, int id) {
  WCHAR text[2048] = {};
  GetDlgItemTextW(dialog, id, text, 2048);
  return text;
}

// The screen's words in reading order: frame characters dropped and runs
// of blanks and line ends made one blank, so that a message box's text
// reads as one line however it was wrapped.
inline std::string words(const std::string& screen) {
  std::string out;
  for (std::size_t i = 0; i < screen.size();) {
    if (screen.compare(i, 3, "\u2502") == 0) {
      i += 3;
      continue;
    }
    const char c = screen[i++] == '\n' ? ' ' : screen[i - 1];
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  return out;
}

// True when text shows on a screen, wrapped or not.
inline bool shows(const std::string& screen, const std::string& text) {
  return words(screen).find(text) != std::string::npos;
}

}  // namespace commandtest
