#include "control/subscribers/CsvFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ar {
namespace {

constexpr std::size_t kPieceBytes = 64 * 1024;

std::runtime_error Failure(const std::string& what, const std::string& path, int error) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

bool RegularFileExists(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

CsvFile::CsvFile(const std::string& path, char separator)
    : path_(path), reader_(separator), buffer_(kPieceBytes) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw Failure("cannot open", path, errno);
  struct stat s {};
  if (::fstat(fd_, &s) != 0 || !S_ISREG(s.st_mode)) {
    const int error = S_ISDIR(s.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    throw Failure("cannot read", path, error != 0 ? error : EINVAL);
  }
  size_ = static_cast<uint64_t>(s.st_size);
}

CsvFile::~CsvFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool CsvFile::Next(CsvLine& line) {
  for (;;) {
    const std::size_t before = unread_.size();
    const CsvReader::Result result = reader_.Next(unread_, atEnd_, line);
    taken_ += before - unread_.size();
    if (result == CsvReader::Result::Line) return true;
    if (atEnd_) return false;
    ssize_t n;
    do n = ::read(fd_, buffer_.data(), buffer_.size());
    while (n < 0 && errno == EINTR);
    if (n < 0) throw Failure("cannot read", path_, errno);
    unread_ = std::string_view(buffer_.data(), static_cast<std::size_t>(n));
    atEnd_ = n == 0;
  }
}

int CsvFile::Percent() const {
  if (size_ == 0 || taken_ >= size_) return 100;
  return static_cast<int>(taken_ * 100 / size_);
}

}  // namespace ar
