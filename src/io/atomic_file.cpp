#include "io/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace broaden {
namespace {

// The temporary file being written, for the signal handlers: a plain
// buffer, so that the handler reads it without allocating.
char g_temporary[4096];
volatile std::sig_atomic_t g_has_temporary = 0;

extern "C" void remove_temporary_and_reraise(int signal_number) {
  if (g_has_temporary != 0) ::unlink(g_temporary);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

std::string quoted(const std::string& name) { return "'" + name + "'"; }

std::string folder_of(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

}  // namespace

std::unique_ptr<AtomicFile> AtomicFile::create(const std::string& name, bool replace,
                                               std::string& error) {
  if (name.empty()) {
    error = "the output name is empty";
    return nullptr;
  }
  struct stat info {};
  if (!replace && ::lstat(name.c_str(), &info) == 0) {
    error = quoted(name) + " exists: give --force to replace it";
    return nullptr;
  }
  if (replace && ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    error = "cannot replace " + quoted(name) + ": " + std::strerror(EISDIR);
    return nullptr;
  }
  std::string temporary = folder_of(name) + "/.broaden-batch-XXXXXX";
  if (temporary.size() >= sizeof g_temporary) {
    error = "the output name " + quoted(name) + " is too long";
    return nullptr;
  }
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot create a file beside " + quoted(name) + ": " + std::strerror(errno);
    return nullptr;
  }
  std::memcpy(g_temporary, temporary.c_str(), temporary.size() + 1);
  g_has_temporary = 1;
  return std::unique_ptr<AtomicFile>(new AtomicFile(name, std::move(temporary), fd, replace));
}

AtomicFile::AtomicFile(std::string name, std::string temporary, int fd, bool replace)
    : name_(std::move(name)), temporary_(std::move(temporary)), fd_(fd), replace_(replace) {}

AtomicFile::~AtomicFile() { drop(); }

void AtomicFile::drop() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  g_has_temporary = 0;
}

bool AtomicFile::write(std::string_view bytes, std::string& error) {
  if (fd_ < 0) {
    error = "cannot write " + quoted(name_) + ": the file was dropped";
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      error = "cannot write " + quoted(name_) + ": " + std::strerror(errno);
      drop();
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

bool AtomicFile::commit(std::string& error) {
  if (fd_ < 0) {
    error = "cannot write " + quoted(name_) + ": the file was dropped";
    return false;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  auto fail = [&](const char* what) {
    error = std::string(what) + " " + quoted(name_) + ": " + std::strerror(errno);
    drop();
    return false;
  };
  if (::fchmod(fd_, 0666 & ~mask) != 0) return fail("cannot set the mode of");
  if (::fsync(fd_) != 0 && errno != EINVAL) return fail("cannot write");
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) return fail("cannot write");
  if (replace_) {
    if (::rename(temporary_.c_str(), name_.c_str()) != 0) return fail("cannot replace");
  } else {
    if (::link(temporary_.c_str(), name_.c_str()) != 0) {
      if (errno == EEXIST) {
        error = quoted(name_) + " exists: give --force to replace it";
        drop();
        return false;
      }
      return fail("cannot create");
    }
    ::unlink(temporary_.c_str());
  }
  temporary_.clear();
  g_has_temporary = 0;
  return true;
}

void remove_temporary_files_on_signals() {
  for (const int signal_number : {SIGHUP, SIGINT, SIGTERM}) {
    struct sigaction action {};
    action.sa_handler = remove_temporary_and_reraise;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace broaden
