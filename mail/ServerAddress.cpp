#include "mail/ServerAddress.h"

#include <cctype>
#include <climits>

namespace ar {

ServerEndpoint SplitServerText(const std::string& server, int defaultPort, int portWhenOutOfRange) {
  const size_t colon = server.find(':');
  if (colon == std::string::npos) return {server, defaultPort};
  ServerEndpoint ep{server.substr(0, colon), 0};
  const std::string rest = server.substr(colon + 1);
  size_t i = 0;
  while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) negative = rest[i++] == '-';
  long long value = 0;
  for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
    value = value * 10 + (rest[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return {ep.host, portWhenOutOfRange};
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return {ep.host, portWhenOutOfRange};
  ep.port = value;
  return ep;
}

}  // namespace ar
