#pragma once
// The server texts of the configuration: "host", "host:port", and for IPv6 addresses
// "[address]", "[address]:port" or the bare address.
#include <string>

namespace ar {

struct ServerEndpoint {
  std::string host;
  long long port;
};

// No port part gives the default port. After the ":" that ends the host the leading
// number is the port (blanks first skipped; no number reads as 0); a number that does
// not fit a 32-bit integer gives portWhenOutOfRange.
//
// The host ends at the first ":", except that an address in square brackets is the
// host without its brackets (the ":" after "]" starts the port; any other text after
// "]" reads as port 0, which no connect accepts), and a bare IPv6 address (a text of
// two or more ":" that is one, an optional "%zone" included) is the host as a whole,
// with the default port.
ServerEndpoint SplitServerText(const std::string& server, int defaultPort, int portWhenOutOfRange);

// Whether the text is an IPv6 address, optionally followed by "%" and a zone name.
bool IsIpv6Literal(const std::string& text);

}  // namespace ar
