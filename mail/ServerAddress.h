#pragma once
// The server texts of the configuration: "host", or "host:port".
#include <string>

namespace ar {

struct ServerEndpoint {
  std::string host;
  long long port;
};

// No ":" gives the default port. After the first ":" the leading number is the port
// (blanks first skipped; no number reads as 0); a number that does not fit a 32-bit
// integer gives portWhenOutOfRange.
ServerEndpoint SplitServerText(const std::string& server, int defaultPort, int portWhenOutOfRange);

}  // namespace ar
