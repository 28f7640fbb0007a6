#pragma once
// Whole-file moves and copies that a crash cannot tear: under the final name there is
// either the old file or the complete new one, never a part of it. New files are owner
// and group only, whatever the process umask.
#include <string>
#include <string_view>
#include <sys/types.h>

namespace ar {

// The temporary name a file is written under before it is renamed into place.
std::string PendingPath(const std::string& path);

// Flushes a file's contents, or a folder's entries, to the disk.
bool SyncFile(const std::string& path);
bool SyncFolder(const std::string& folder);

// Renames from over to (replacing it) and makes the rename durable.
bool MoveFile(const std::string& from, const std::string& to);

// Copies a file byte for byte under PendingPath(to), syncs it and renames it over to;
// false on any failure, with to untouched.
bool CopyFile(const std::string& from, const std::string& to);

// A file written under a temporary name beside its target (made with mkstemp) and renamed
// over the target only once it is complete and on the disk: a failure leaves neither a
// part of the file under the target's name nor a change to a file already there. Each
// step returns false with errno set; the caller says what failed.
class ReplacingFile {
 public:
  ReplacingFile(const std::string& target, mode_t mode);
  // The temporary file goes unless Commit renamed it.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Whether the temporary file could be made (errno tells why not).
  bool Created() const { return fd_ >= 0; }
  // Appends bytes, gathered into large writes.
  bool Write(std::string_view bytes);
  // Writes what is gathered, syncs and closes the file, and renames it over the target.
  bool Commit();

 private:
  bool Flush();

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
  std::string buffer_;
};

// Creates a new empty file with the private file mode; false when the name is taken or
// the file cannot be made.
bool CreatePrivateFile(const std::string& path);

// Takes every permission of the world away from an existing file (a file left by an
// older version, or made under a lax umask); a missing file is passed over.
void RemoveWorldAccess(const std::string& path);

// Opens (creating when missing, with the private file mode) a lock file for flock. A
// reader who may not write the folder still gets it read-only when it exists. -1 when
// it cannot be opened at all.
int OpenLockFile(const std::string& path);

}  // namespace ar
