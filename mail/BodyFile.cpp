#include "mail/BodyFile.h"

#include "mail/Charset.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace ar {

std::string BodyLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') continue;
    out.append(text, start, i - start).append("\r\n");
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) out.append(text, start, std::string::npos).append("\r\n");
  return out;
}

std::optional<std::string> BodyFileCache::Read(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    entries_.erase(path);
    return std::nullopt;
  }
  auto it = entries_.find(path);
  if (it != entries_.end() && it->second.device == st.st_dev && it->second.inode == st.st_ino &&
      it->second.size == st.st_size && it->second.modified.tv_sec == st.st_mtim.tv_sec &&
      it->second.modified.tv_nsec == st.st_mtim.tv_nsec)
    return it->second.text;
  std::string text = ReadBodyFile(path);
  entries_[path] = Entry{st.st_dev, st.st_ino, st.st_size, st.st_mtim, text};
  return text;
}

std::string ReadBodyFile(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  if (static_cast<unsigned long long>(st.st_size) > kMaxBodyFileBytes)
    throw std::runtime_error(path + " is larger than " + std::to_string(kMaxBodyFileBytes) + " bytes");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return BodyLines(TextFileBytesToUtf8(bytes.str()));
}

}  // namespace ar
