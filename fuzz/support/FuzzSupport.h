#pragma once
// What the fuzz targets share: a property check that names the property that failed, the
// settings taken from the input's first bytes, and the in-memory socket playing a server
// that sends the input and hangs up, with the model of how its lines are read.
#include "mail/MemorySocket.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::ar::fuzz::Fail(#condition, __FILE__, __LINE__))

namespace ar::fuzz {

[[noreturn]] inline void Fail(const char* property, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
  std::abort();
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The first byte of the input as a setting (0 when the input is empty), taken off it.
inline unsigned TakeByte(std::string_view& input) {
  if (input.empty()) return 0;
  const auto byte = static_cast<unsigned char>(input.front());
  input.remove_prefix(1);
  return byte;
}

// Connects the socket to a "server" whose every byte is `bytes`, sent at once before it
// hangs up: a read past them fails as a lost connection, and nothing ever waits.
inline void ServeOnce(MemorySocket& socket, std::string_view bytes) {
  socket.Connect("fuzz.invalid", 1);
  socket.Deliver(bytes);
  socket.HangUp();
}

// How the socket of ServeOnce gives out the bytes, line by line: each read takes up to
// and including the next CR LF, and fails when there is none or the line is longer than
// a socket reads. The reader models check the sessions against this.
class ServerLines {
 public:
  explicit ServerLines(std::string_view bytes) : bytes_(bytes) {}

  // The end (past the LF) of the line a read starting at `from` gets, or nothing when the
  // read fails.
  std::optional<size_t> LineEndFrom(size_t from) const {
    if (from > bytes_.size()) return std::nullopt;
    const size_t at = bytes_.find("\r\n", from);
    if (at == std::string_view::npos || at - from > Socket::kMaxLineBytes) return std::nullopt;
    return at + 2;
  }
  // The next line, or nothing when the read fails (the socket then counts as closed).
  std::optional<std::string_view> Next() {
    const std::optional<size_t> end = LineEndFrom(pos_);
    if (!end) return std::nullopt;
    const std::string_view line = bytes_.substr(pos_, *end - pos_);
    pos_ = *end;
    return line;
  }
  size_t Position() const { return pos_; }
  void SetPosition(size_t pos) { pos_ = pos; }
  std::string_view Between(size_t from, size_t to) const { return bytes_.substr(from, to - from); }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

}  // namespace ar::fuzz
