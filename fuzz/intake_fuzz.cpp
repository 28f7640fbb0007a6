// A whole mailbox reading over POP3 or IMAP4 with any bytes as the server's side: the
// message count of STAT or of "* n EXISTS", each message taken (or left as too large),
// its sender and subject, the delivery report check and the subscriber table. Whatever
// the server says: no exception escapes, the connection is closed at the end, the
// subscriber already in the list stays, every address added could go into an SMTP
// command, messages are taken in order from the first, and the password never reaches
// the trace unless the server itself sent it.
#include "base/Trace.h"
#include "fuzz/support/FuzzSupport.h"
#include "mail/Addresses.h"
#include "mail/EnvelopeAddress.h"
#include "processor/MailboxIntake.h"
#include "store/Schema.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kPassword = "pw-7Hq2x";
constexpr const char* kKnown = "known@example.com";

ar::Connection OpenInMemory() {
  ar::Connection::Options options;
  options.create = true;
  return ar::Connection::Open(":memory:", options);
}

// Both databases in memory with one autoresponder, and a trace file, made once.
struct World {
  World() {
    ar::CreateAutoresponderSchema(config);
    ar::CreateSubscribersSchema(subscribers);
    config.Execute("insert into tblAutoresponders (AutoresponderName, Active) values ('list', 1)");
    id = config.LastInsertId();
    ar::CreateSubscriberTable(subscribers, id);
    std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : std::string("/tmp")) + "/intake-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    tracePath = pattern;
    ar::SetTraceFile(tracePath);
    ar::SetDebugSwitch(true);
  }
  ~World() { ::unlink(tracePath.c_str()); }

  ar::Connection config = OpenInMemory();
  ar::Connection subscribers = OpenInMemory();
  int64_t id = 0;
  std::string tracePath;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Messages are taken 1, 2, 3, ... (RETR or FETCH), and a message is deleted (DELE or
// STORE) only right after it was taken.
void CheckTakenInOrder(const std::string& sent, bool pop) {
  const std::string take = pop ? "RETR " : "01 FETCH ", remove = pop ? "DELE " : "01 STORE ";
  const std::string numberEnd = pop ? "\r\n" : " ";
  long long taken = 0;
  bool removable = false;
  for (size_t at = 0; at < sent.size();) {
    const size_t lineEnd = sent.find("\r\n", at);
    FUZZ_CHECK(lineEnd != std::string::npos);
    const std::string line = sent.substr(at, lineEnd + 2 - at);
    at = lineEnd + 2;
    if (line.compare(0, take.size(), take) == 0) {
      const std::string number = std::to_string(++taken) + numberEnd;
      FUZZ_CHECK(line.compare(take.size(), number.size(), number) == 0);
      removable = true;
    } else if (line.compare(0, remove.size(), remove) == 0) {
      const std::string number = std::to_string(taken) + numberEnd;
      FUZZ_CHECK(removable && line.compare(remove.size(), number.size(), number) == 0);
      removable = false;
    }
  }
  FUZZ_CHECK(taken <= ar::kMaxMessagesPerRun);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  std::string_view input = ar::fuzz::Bytes(data, size);
  const unsigned settings = ar::fuzz::TakeByte(input);
  const bool pop = (settings & 1) == 0;
  ar::MailboxIntake::Limits limits;
  limits.maxMessageBytes = 16 + 32 * (settings >> 1);  // small, so that messages are left as too large

  const std::string table = ar::SubscriberTable(world.id);
  world.subscribers.Execute("delete from " + table);
  world.subscribers.Execute("insert into " + table + " (EmailAddress) values (?)", {kKnown});
  if (::truncate(world.tracePath.c_str(), 0) != 0) std::abort();

  ar::MemorySocket socket;
  socket.onConnect = [input](ar::MemorySocket& s) {
    s.Deliver(input);
    s.HangUp();
  };
  ar::StatusList status;
  ar::RunContext ctx;
  ctx.config = &world.config;
  ctx.subscribers = &world.subscribers;
  ctx.status = &status;
  ctx.socket = &socket;
  ctx.currentAutoresponder = world.id;
  ar::MailboxIntake(ctx, limits).ReadPOP("mail.example.com", "ann", kPassword, false, world.id, pop ? "POP3" : "IMAP4",
                                         "INBOX");

  FUZZ_CHECK(socket.State() == ar::SocketState::Closed);
  CheckTakenInOrder(socket.Sent(), pop);
  bool knownStays = false;
  for (ar::RowSet rows = world.subscribers.Query("select EmailAddress from " + table); !rows.Eof(); rows.MoveNext()) {
    const std::string address = rows.Field("EmailAddress").AsText();
    knownStays = knownStays || address == kKnown;
    FUZZ_CHECK(ar::IsSafeEnvelopeAddress(address) && address.size() <= 100);
  }
  FUZZ_CHECK(knownStays);
  if (input.find(kPassword) == std::string_view::npos)
    FUZZ_CHECK(ReadWhole(world.tracePath).find(kPassword) == std::string::npos);
  return 0;
}
