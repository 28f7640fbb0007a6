// Server texts as operators type them: host names, IPv4 and IPv6 addresses, with a port
// or without.
#include "mail/ServerAddress.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(ServerText, HostAndPortOfEveryForm) {
  struct Case {
    const char* text;
    const char* host;
    long long port;
  } cases[] = {
      {"mail.test", "mail.test", 25},
      {"mail.test:2525", "mail.test", 2525},
      {"192.0.2.1:110", "192.0.2.1", 110},
      {"mail.test:x", "mail.test", 0},
      {"mail.test:99999999999", "mail.test", 26},
      {"", "", 25},
      // An IPv6 address in brackets, with a port or without.
      {"[::1]:2525", "::1", 2525},
      {"[::1]", "::1", 25},
      {"[2001:db8::5]: 587", "2001:db8::5", 587},
      {"[::1]:", "::1", 0},
      {"[::1]junk", "::1", 0},
      {"[::1]:99999999999", "::1", 26},
      // A bare IPv6 address is the host as a whole.
      {"::1", "::1", 25},
      {"2001:db8::5", "2001:db8::5", 25},
      {"fe80::1%eth0", "fe80::1%eth0", 25},
      // Two ":" that do not make an IPv6 address: the first still ends the host.
      {"mail.test:25:26", "mail.test", 25},
      {"fe80::1%", "fe80", 0},
  };
  for (const Case& c : cases) {
    const ServerEndpoint ep = SplitServerText(c.text, 25, 26);
    EXPECT_EQ(ep.host, c.host) << c.text;
    EXPECT_EQ(ep.port, c.port) << c.text;
  }
}

}  // namespace
}  // namespace ar
