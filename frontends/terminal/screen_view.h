// Draws the phone's screen in the terminal: the screen in a frame, centred,
// with the key map on a line below.
#pragma once

#include <map>
#include <utility>

#include "platform/phone.h"

namespace terminal {

class ScreenView {
 public:
  void draw(const platform::ScreenImage& image);

 private:
  short pairFor(COLORREF foreground, COLORREF background);

  std::map<std::pair<int, int>, short> pairs_;
  short nextPair_ = 1;
};

}  // namespace terminal
