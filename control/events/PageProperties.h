#pragma once
// The head and page properties of an event's HTML body: what the body file's HEAD
// section and body tag are rebuilt from. The event editor holds them; the page-properties
// window and the HEAD editor change them.
#include <string>

namespace ar {

struct PageProperties {
  std::string head;             // the HEAD text, without the tags
  std::string backgroundColor;  // bgcolor, "#RRGGBB" (upper case) or empty
  std::string background;       // background image address or path, as typed
  std::string link;             // hyperlink colour
  std::string alink;            // active hyperlink colour
  std::string vlink;            // visited hyperlink colour

  bool operator==(const PageProperties&) const = default;
};

}  // namespace ar
