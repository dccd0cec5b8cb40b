#include "frontends/terminal/colours.h"

#include <array>
#include <cstdlib>

namespace terminal {

namespace {

struct Rgb {
  int r, g, b;
};

// The xterm values of the sixteen standard colours.
constexpr std::array<Rgb, 16> standard = {{
    {0, 0, 0}, {205, 0, 0}, {0, 205, 0}, {205, 205, 0}, {0, 0, 238}, {205, 0, 205}, {0, 205, 205}, {229, 229, 229},
    {127, 127, 127}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {92, 92, 255}, {255, 0, 255}, {0, 255, 255},
    {255, 255, 255},
}};

constexpr std::array<int, 6> cubeLevels = {0, 95, 135, 175, 215, 255};

int distance(const Rgb& a, const Rgb& b) {
  const int dr = a.r - b.r;
  const int dg = a.g - b.g;
  const int db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

int nearestLevel(int value) {
  int best = 0;
  for (int i = 1; i < 6; ++i) {
    if (std::abs(cubeLevels[static_cast<std::size_t>(i)] - value) <
        std::abs(cubeLevels[static_cast<std::size_t>(best)] - value)) {
      best = i;
    }
  }
  return best;
}

}  // namespace

int nearestColour(COLORREF colour, int colourCount) {
  const Rgb want{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
  if (colourCount >= 256) {
    const int r = nearestLevel(want.r);
    const int g = nearestLevel(want.g);
    const int b = nearestLevel(want.b);
    const Rgb cube{cubeLevels[static_cast<std::size_t>(r)], cubeLevels[static_cast<std::size_t>(g)],
                   cubeLevels[static_cast<std::size_t>(b)]};
    int best = 16 + 36 * r + 6 * g + b;
    int bestDistance = distance(want, cube);
    for (int i = 0; i < 24; ++i) {  // the grey ramp 232..255
      const int level = 8 + 10 * i;
      const int d = distance(want, Rgb{level, level, level});
      if (d < bestDistance) {
        bestDistance = d;
        best = 232 + i;
      }
    }
    return best;
  }
  if (colourCount < 8) return -1;
  const int count = colourCount >= 16 ? 16 : 8;
  int best = 0;
  for (int i = 1; i < count; ++i) {
    if (distance(want, standard[static_cast<std::size_t>(i)]) < distance(want, standard[static_cast<std::size_t>(best)])) {
      best = i;
    }
  }
  return best;
}

}  // namespace terminal
