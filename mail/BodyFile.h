#pragma once
// Message bodies kept in files: read as text lines, each line followed by CR LF. A line
// ends at CR LF or at a CR alone; a lone LF does not end a line and stays in the text.
// A file that is not valid UTF-8 is read as Windows-1252.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace ar {

constexpr std::size_t kMaxBodyFileBytes = 64 * 1024 * 1024;

// The lines of the text, each followed by CR LF.
std::string BodyLines(const std::string& text);

// The body in the file at path. Throws std::runtime_error when the file exists but
// cannot be read or is larger than the limit.
std::string ReadBodyFile(const std::string& path);

// Every message of a pass reads the same body files: this keeps the last text read for
// each path and reads a file again only when it has changed (size, time or identity).
class BodyFileCache {
 public:
  // The body in the file, or nothing when there is no such file.
  std::optional<std::string> Read(const std::string& path);

 private:
  struct Entry {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    std::string text;
  };
  std::map<std::string, Entry> entries_;
};

}  // namespace ar
