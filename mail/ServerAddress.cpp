#include "mail/ServerAddress.h"

#include <arpa/inet.h>
#include <cctype>
#include <climits>
#include <netinet/in.h>

namespace ar {

namespace {

// The port of the text after the ":" that ends the host.
long long PortOf(const std::string& rest, int portWhenOutOfRange) {
  size_t i = 0;
  while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) negative = rest[i++] == '-';
  long long value = 0;
  for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
    value = value * 10 + (rest[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return portWhenOutOfRange;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return portWhenOutOfRange;
  return value;
}

}  // namespace

bool IsIpv6Literal(const std::string& text) {
  if (text.find('\0') != std::string::npos) return false;  // the C parser would stop at it
  const std::string address = text.substr(0, text.find('%'));
  if (address.size() + 1 == text.size()) return false;  // "%" with no zone after it
  in6_addr parsed;
  return inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

ServerEndpoint SplitServerText(const std::string& server, int defaultPort, int portWhenOutOfRange) {
  if (!server.empty() && server[0] == '[') {
    const size_t close = server.find(']');
    if (close != std::string::npos) {
      ServerEndpoint ep{server.substr(1, close - 1), defaultPort};
      const std::string after = server.substr(close + 1);
      if (after.empty()) return ep;
      ep.port = after[0] == ':' ? PortOf(after.substr(1), portWhenOutOfRange) : 0;
      return ep;
    }
  }
  const size_t colon = server.find(':');
  if (colon == std::string::npos) return {server, defaultPort};
  if (server.find(':', colon + 1) != std::string::npos && IsIpv6Literal(server)) return {server, defaultPort};
  return {server.substr(0, colon), PortOf(server.substr(colon + 1), portWhenOutOfRange)};
}

}  // namespace ar
