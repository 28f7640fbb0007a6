#pragma once
// The colours of an event's body tag as the page properties hold them: "#" followed by
// two hexadecimal digits each for red, green and blue.
#include <string>

namespace ar {

struct PageColour {
  int red = 255, green = 255, blue = 255;
  bool operator==(const PageColour&) const = default;
};

// The colour of "#RRGGBB" (either letter case). Throws std::invalid_argument for any
// other text, naming it.
PageColour ParsePageColour(const std::string& text);
// "#RRGGBB" in upper case.
std::string PageColourText(const PageColour& colour);

}  // namespace ar
