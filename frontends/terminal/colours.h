// Maps the phone's colours onto the few a terminal has.
#pragma once

#include "platform/win_types.h"

namespace terminal {

// The terminal colour nearest to colour (by squared distance in RGB), for a
// terminal with colourCount colours: 256 uses the 6x6x6 cube and the grey
// ramp, 16 and 8 the standard palette. Returns -1 without colours.
int nearestColour(COLORREF colour, int colourCount);

}  // namespace terminal
