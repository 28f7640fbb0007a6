#include "mail/Base64.h"

#include "base/Trace.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace ar {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kGroupBytes = 54;

void AppendEncoded(std::string& out, std::string_view text) {
  out.reserve(out.size() + (text.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= text.size(); i += 3) {
    const unsigned c1 = static_cast<unsigned char>(text[i]);
    const unsigned c2 = static_cast<unsigned char>(text[i + 1]);
    const unsigned c3 = static_cast<unsigned char>(text[i + 2]);
    out += kAlphabet[c1 >> 2];
    out += kAlphabet[((c1 & 3) << 4) | (c2 >> 4)];
    out += kAlphabet[((c2 & 15) << 2) | (c3 >> 6)];
    out += kAlphabet[c3 & 63];
  }
  const std::size_t rest = text.size() - i;
  if (rest == 0) return;
  const unsigned c1 = static_cast<unsigned char>(text[i]);
  const unsigned c2 = rest == 2 ? static_cast<unsigned char>(text[i + 1]) : 0u;
  out += kAlphabet[c1 >> 2];
  out += kAlphabet[((c1 & 3) << 4) | (c2 >> 4)];
  if (rest == 2) {
    out += kAlphabet[(c2 & 15) << 2];
    out += '=';
  } else {
    out += "==";
  }
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string Base64_encode(std::string_view text) {
  std::string out;
  AppendEncoded(out, text);
  return out;
}

std::string memeencode(int value) {
  if (value < 0 || value > 63) {
    TracePop("Base64/memeencode: Error value out of range: " + std::to_string(value), true);
    return "";
  }
  return std::string(1, kAlphabet[value]);
}

std::string EncodeBase64Bytes(std::string_view bytes) { return Base64_encode(bytes); }

long long SendFileBase64(const std::string& path, const Base64LineSink& sendLine) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return 0;
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  // The group count is fixed when the file is opened, so a file that grows while it is
  // streamed still ends.
  const unsigned long long length = static_cast<unsigned long long>(info.st_size);
  unsigned long long groups = length / kGroupBytes;
  const std::size_t remainder = static_cast<std::size_t>(length % kGroupBytes);

  char buffer[kGroupBytes];
  std::string line;
  line.reserve(80);
  long long sent = 0;
  for (; groups > 0; --groups) {
    if (std::fread(buffer, 1, kGroupBytes, file.get()) != kGroupBytes) return sent;
    line.clear();
    AppendEncoded(line, std::string_view(buffer, kGroupBytes));
    line += "\r\n";
    sendLine(line);
    ++sent;
  }
  if (remainder > 0 && std::fread(buffer, 1, remainder, file.get()) != remainder) return sent;
  line.clear();
  AppendEncoded(line, std::string_view(buffer, remainder));
  line += "\r\n";
  sendLine(line);
  return sent + 1;
}

std::string EncodeFileBase64(const std::string& path) {
  std::string out;
  SendFileBase64(path, [&out](std::string_view line) { out.append(line); });
  return out;
}

}  // namespace ar
