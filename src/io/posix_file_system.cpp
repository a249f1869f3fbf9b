#include "io/posix_file_system.h"

#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <streambuf>
#include <string_view>
#include <system_error>
#include <vector>

namespace broaden {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// A stream buffer over a file descriptor it owns. Read and write errors
// throw std::system_error carrying the errno of the failed call.
class DescriptorBuffer final : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd), storage_(kBufferSize) {}
  DescriptorBuffer(const DescriptorBuffer&) = delete;
  DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

  ~DescriptorBuffer() override {
    if (fd_ < 0) return;
    try {
      drain();
    } catch (...) {
      // Only close() reports; a destructor cannot.
    }
    ::close(fd_);
  }

  // Writes out what is buffered and closes the descriptor; throws
  // std::system_error when either fails (some file systems report a failed
  // write only here).
  void close() {
    const int fd = fd_;
    drain();
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw std::system_error(errno, std::generic_category());
  }

  void begin_writing() { setp(storage_.data(), storage_.data() + storage_.size()); }

  // Writes out what is buffered and has the system put it on its storage;
  // a descriptor that cannot be synced (a pipe) has nothing to put there.
  void sync_to_storage() {
    drain();
    if (::fsync(fd_) != 0 && errno != EINVAL)
      throw std::system_error(errno, std::generic_category());
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t got;
    do {
      got = ::read(fd_, storage_.data(), storage_.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw std::system_error(errno, std::generic_category());
    if (got == 0) return traits_type::eof();
    setg(storage_.data(), storage_.data(), storage_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

  int_type overflow(int_type c) override {
    drain();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    drain();
    return 0;
  }

  // A large block goes straight to the descriptor, not through the buffer.
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    if (size < epptr() - pptr()) {
      std::memcpy(pptr(), data, static_cast<std::size_t>(size));
      pbump(static_cast<int>(size));
      return size;
    }
    drain();
    write_all(data, data + size);
    return size;
  }

 private:
  // Writes out what is buffered. After a failure the buffered rest is
  // dropped, so that nothing is retried behind the caller's back.
  void drain() {
    const char* next = pbase();
    const char* end = pptr();
    if (pbase() != nullptr) begin_writing();
    write_all(next, end);
  }

  void write_all(const char* next, const char* end) {
    while (next < end) {
      const ssize_t put = ::write(fd_, next, static_cast<std::size_t>(end - next));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw std::system_error(errno, std::generic_category());
      next += put;
    }
  }

  int fd_;
  std::vector<char> storage_;
};

class DescriptorIstream final : public std::istream {
 public:
  explicit DescriptorIstream(int fd) : std::istream(nullptr), buffer_(fd) {
    rdbuf(&buffer_);
    exceptions(std::ios::badbit);
  }

 private:
  DescriptorBuffer buffer_;
};

class DescriptorOstream final : public OutputFile {
 public:
  explicit DescriptorOstream(int fd) : OutputFile(nullptr), buffer_(fd) {
    buffer_.begin_writing();
    rdbuf(&buffer_);
    exceptions(std::ios::badbit);
  }

  void close() override { buffer_.close(); }
  void sync() override { buffer_.sync_to_storage(); }

 private:
  DescriptorBuffer buffer_;
};

// A regular file mapped read-only, with its descriptor kept for the check
// that it is unchanged.
class MappedText final : public FileText {
 public:
  // The view starts `skip` bytes into the mapping.
  MappedText(int fd, const struct stat& info, const char* data, std::size_t size, std::size_t skip)
      : fd_(fd), info_(info), data_(data), size_(size), skip_(skip) {}
  MappedText(const MappedText&) = delete;
  MappedText& operator=(const MappedText&) = delete;
  ~MappedText() override {
    ::munmap(const_cast<char*>(data_), size_);
    ::close(fd_);
  }

  std::string_view text() const override { return {data_ + skip_, size_ - skip_}; }

  bool unchanged() const override {
    struct stat now {};
    if (::fstat(fd_, &now) != 0 || now.st_size < info_.st_size) return false;
    return now.st_size > info_.st_size || (now.st_mtim.tv_sec == info_.st_mtim.tv_sec &&
                                           now.st_mtim.tv_nsec == info_.st_mtim.tv_nsec);
  }

 private:
  int fd_;
  struct stat info_;
  const char* data_;
  std::size_t size_;
  std::size_t skip_;
};

// Everything from `fd` to its end, `expected` bytes or so; throws
// std::system_error on a failed read.
std::string read_to_end(int fd, std::size_t expected) {
  // One byte over, so that the read that finds the end needs no more room.
  std::string text(std::max(expected + 1, kBufferSize), '\0');
  std::size_t size = 0;
  for (;;) {
    if (size == text.size()) text.resize(2 * size);
    const ssize_t got = ::read(fd, text.data() + size, text.size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::system_error(errno, std::generic_category());
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  text.resize(size);
  return text;
}

// The text of the open file `fd` (owned from here on: closed with the text,
// or on a failure) from byte `from` to its end: mapped when it is a regular
// file with bytes beyond `from`, else read.
std::unique_ptr<FileText> whole_text(int fd, const struct stat& info, std::size_t from) {
  const bool regular = S_ISREG(info.st_mode);
  if (regular && info.st_size > 0 && static_cast<std::uintmax_t>(info.st_size) > from &&
      static_cast<std::uintmax_t>(info.st_size) <= std::numeric_limits<std::size_t>::max()) {
    const auto size = static_cast<std::size_t>(info.st_size);
    void* const data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data != MAP_FAILED) {
      ::madvise(data, size, MADV_SEQUENTIAL);
      try {
        return std::make_unique<MappedText>(fd, info, static_cast<const char*>(data), size, from);
      } catch (...) {
        ::munmap(data, size);
        ::close(fd);
        throw;
      }
    }
    // A file system that cannot map files (some network or user-space
    // ones) is read instead.
  }
  try {
    const std::size_t expected = regular && static_cast<std::uintmax_t>(info.st_size) > from
                                     ? static_cast<std::size_t>(info.st_size) - from
                                     : 0;
    std::string text = read_to_end(fd, expected);
    ::close(fd);
    return std::make_unique<HeldText>(std::move(text));
  } catch (...) {
    ::close(fd);
    throw;
  }
}

// The temporary file of the process, for the signal handlers: plain
// storage, so that a handler reads it without allocating.
char g_temporary[4096];
int g_temporary_folder = AT_FDCWD;
volatile std::sig_atomic_t g_has_temporary = 0;

extern "C" void remove_temporary_and_reraise(int signal_number) {
  if (g_has_temporary != 0) ::unlinkat(g_temporary_folder, g_temporary, 0);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void forget_temporary(const std::string& name) {
  if (g_has_temporary != 0 && name == g_temporary) g_has_temporary = 0;
}

std::error_code last_error() { return std::error_code(errno, std::generic_category()); }

bool holds_nul(const std::string& name, std::string& reason) {
  if (name.find('\0') == std::string::npos) return false;
  reason = "the name holds a NUL byte";
  return true;
}

// Opens the existing file `name` of the folder `folder` for reading, with
// its status in `info`: the descriptor, or -1 with `reason` set (a folder
// is refused as EISDIR).
int open_for_reading(int folder, const std::string& name, struct stat& info, std::string& reason) {
  if (holds_nul(name, reason)) return -1;
  const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    reason = std::strerror(errno);
    return -1;
  }
  const int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  if (error != 0) {
    reason = std::strerror(error);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::unique_ptr<std::istream> PosixFileSystem::open_existing(const std::string& name,
                                                             std::string& reason) {
  struct stat info {};
  const int fd = open_for_reading(directory_fd_, name, info, reason);
  if (fd < 0) return nullptr;
  return std::make_unique<DescriptorIstream>(fd);
}

std::unique_ptr<FileText> PosixFileSystem::read_whole(const std::string& name,
                                                      std::string& reason) {
  struct stat info {};
  const int fd = open_for_reading(directory_fd_, name, info, reason);
  if (fd < 0) return nullptr;
  return whole_text(fd, info, 0);
}

std::unique_ptr<FileText> read_descriptor_whole(int fd) {
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) throw std::system_error(errno, std::generic_category());
  struct stat info {};
  int error = ::fstat(own, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  off_t from = 0;
  if (error == 0 && S_ISREG(info.st_mode)) {
    from = ::lseek(own, 0, SEEK_CUR);
    if (from < 0) error = errno;
  }
  if (error != 0) {
    ::close(own);
    throw std::system_error(error, std::generic_category());
  }
  std::unique_ptr<FileText> text = whole_text(own, info, static_cast<std::size_t>(from));
  // Read to its end, as a reader of the descriptor would leave it (a
  // mapping leaves the shared offset where it was).
  if (S_ISREG(info.st_mode)) ::lseek(fd, 0, SEEK_END);
  return text;
}

std::unique_ptr<OutputFile> PosixFileSystem::create_new(const std::string& name,
                                                        std::string& reason) {
  if (holds_nul(name, reason)) return nullptr;
  // O_EXCL with O_CREAT fails on any existing name and never follows a link.
  const int fd = ::openat(directory_fd_, name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<DescriptorOstream>(fd);
}

NameKind PosixFileSystem::kind_of(const std::string& name, bool follow_links) {
  struct stat info {};
  if (name.find('\0') != std::string::npos ||
      ::fstatat(directory_fd_, name.c_str(), &info, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
    return NameKind::absent;
  if (S_ISDIR(info.st_mode)) return NameKind::folder;
  return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode) ? NameKind::other : NameKind::special;
}

std::optional<FileIdentity> PosixFileSystem::identity_of(const std::string& name,
                                                         bool follow_links) {
  struct stat info {};
  if (name.empty() || name.find('\0') != std::string::npos ||
      ::fstatat(directory_fd_, name.c_str(), &info, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
    return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

std::unique_ptr<OutputFile> PosixFileSystem::create_temporary(const std::string& prefix,
                                                              std::string& name,
                                                              std::string& reason) {
  if (holds_nul(prefix, reason)) return nullptr;
  constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  constexpr std::size_t kSuffix = 6;
  if (prefix.size() + kSuffix >= sizeof g_temporary) {
    reason = std::strerror(ENAMETOOLONG);
    return nullptr;
  }
  std::random_device device;
  std::mt19937_64 random((static_cast<std::uint64_t>(device()) << 32) ^ device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix;
    for (std::size_t i = 0; i < kSuffix; ++i) name += kLetters[random() % kLetters.size()];
    // Signals wait while the file is made and named for the handlers, so
    // that none can end the run between the two and leave the file behind.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    const int fd = ::openat(directory_fd_, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    const int error = errno;
    if (fd >= 0) {
      g_has_temporary = 0;
      std::memcpy(g_temporary, name.c_str(), name.size() + 1);
      g_temporary_folder = directory_fd_;
      g_has_temporary = 1;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0 && error == EEXIST) continue;
    if (fd < 0) {
      reason = std::strerror(error);
      return nullptr;
    }
    return std::make_unique<DescriptorOstream>(fd);
  }
  reason = std::strerror(EEXIST);
  return nullptr;
}

std::error_code PosixFileSystem::link(const std::string& from, const std::string& to) {
  if (to.find('\0') != std::string::npos) return std::make_error_code(std::errc::invalid_argument);
  if (::linkat(directory_fd_, from.c_str(), directory_fd_, to.c_str(), 0) != 0) return last_error();
  return {};
}

std::error_code PosixFileSystem::rename(const std::string& from, const std::string& to) {
  if (to.find('\0') != std::string::npos) return std::make_error_code(std::errc::invalid_argument);
  if (::renameat(directory_fd_, from.c_str(), directory_fd_, to.c_str()) != 0) return last_error();
  forget_temporary(from);
  return {};
}

std::error_code PosixFileSystem::copy_permissions(const std::string& from, const std::string& to) {
  if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos)
    return std::make_error_code(std::errc::invalid_argument);
  struct stat info {};
  if (::fstatat(directory_fd_, from.c_str(), &info, 0) != 0) return last_error();
  if (::fchmodat(directory_fd_, to.c_str(), info.st_mode & 0777, 0) != 0) return last_error();
  return {};
}

void PosixFileSystem::remove(const std::string& name) noexcept {
  ::unlinkat(directory_fd_, name.c_str(), 0);
  forget_temporary(name);
}

void remove_temporary_files_on_signals() {
  // Every signal whose default action ends the process (signal(7)); SIGKILL
  // and SIGSTOP cannot be caught.
  std::vector<int> signals{SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                           SIGFPE,  SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                           SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGPOLL, SIGSYS};
#ifdef SIGSTKFLT
  signals.push_back(SIGSTKFLT);
#endif
#ifdef SIGPWR
  signals.push_back(SIGPWR);
#endif
  for (int n = SIGRTMIN; n <= SIGRTMAX; ++n) signals.push_back(n);
  // While one handler runs the others wait, so the name is removed once.
  sigset_t all_of_them;
  sigemptyset(&all_of_them);
  for (const int signal_number : signals) sigaddset(&all_of_them, signal_number);
  for (const int signal_number : signals) {
    struct sigaction old {};
    if (::sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = remove_temporary_and_reraise;
    action.sa_mask = all_of_them;
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace broaden
