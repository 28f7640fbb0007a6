#pragma once
// The event editor's files on disk: the HTML body file it reads and writes, and the text
// files it imports. Text is read as UTF-8, or as Windows-1252 when it is not valid UTF-8,
// line by line with CR LF after every line, and written as UTF-8.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>

namespace ar {

// Neither import takes a file larger than this.
constexpr std::uintmax_t kMaxImportBytes = 64000;

// The size of the file, or nothing when there is no regular file at the path.
std::optional<std::uintmax_t> RegularFileSize(const std::string& path);

// The text of a file, line by line. Throws std::runtime_error (the reason) when it cannot
// be read.
std::string ReadTextLines(const std::string& path);

// Replaces the file with the text as a whole: written under a temporary name in the same
// folder, flushed to the disk and renamed over the file, so that a failure leaves the old
// file as it was. An existing file keeps its permissions (a link is followed to its
// target); a new one is owner and group only. Throws std::runtime_error with the reason.
void ReplaceFileText(const std::string& path, const std::string& text);

// Enough of a file's identity to tell that another program has changed it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  bool operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec;
  }
};

// The stamp of the file, or nothing when there is none.
std::optional<FileStamp> StampOf(const std::string& path);

}  // namespace ar
