#include "batch/gnuplot.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;

namespace broaden {
namespace {

// A descriptor closed when it goes.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { close(); }
  int get() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  void reset(int fd) {
    close();
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Descriptor read, write;
};

int make_pipe(Pipe& pipe) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
  pipe.read.reset(fds[0]);
  pipe.write.reset(fds[1]);
  return 0;
}

// Reads what is there into `into`; false at the end (or a failed read).
bool drain(int fd, std::string& into) {
  char buffer[1 << 16];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got < 0) return errno == EINTR || errno == EAGAIN;
  into.append(buffer, static_cast<std::size_t>(got));
  return got > 0;
}

// The spawn's attributes and file actions, destroyed when they go.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};

// Starts `program` with its standard input, output and error on the pipes'
// ends and the signal actions a program expects, whatever this process
// ignores (broaden-batch ignores SIGPIPE and SIGXFSZ). Returns 0 or the
// error of the start.
int spawn(const std::string& program, Pipe& in, Pipe& out, Pipe& err, pid_t& pid) {
  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, in.read.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, out.write.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, err.write.get(), STDERR_FILENO);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
  return program.find('/') == std::string::npos
             ? ::posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attributes, argv,
                              environ)
             : ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv,
                             environ);
}

// Writes `script` to the program's input while its output and error are
// read into `result`, until both end.
void exchange(std::string_view script, Pipe& in, Pipe& out, Pipe& err, DrawResult& result) {
  ::fcntl(in.write.get(), F_SETFL, O_NONBLOCK);
  std::size_t written = 0;
  if (script.empty()) in.write.close();
  while (out.read.get() >= 0 || err.read.get() >= 0) {
    pollfd fds[3] = {
        {out.read.get(), POLLIN, 0}, {err.read.get(), POLLIN, 0}, {in.write.get(), POLLOUT, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0 && !drain(out.read.get(), result.picture)) out.read.close();
    if (fds[1].revents != 0 && !drain(err.read.get(), result.messages)) err.read.close();
    if (fds[2].revents != 0) {
      const ssize_t put = ::write(in.write.get(), script.data() + written, script.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      // Written, or the program has stopped reading (EPIPE): its end is its word.
      if (written == script.size() || (put < 0 && errno != EAGAIN && errno != EINTR))
        in.write.close();
    }
  }
}

}  // namespace

DrawResult GnuplotDriver::draw(std::string_view script) {
  DrawResult result;
  Pipe in, out, err;
  for (Pipe* pipe : {&in, &out, &err}) {
    if (const int error = make_pipe(*pipe); error != 0) {
      result.start_error = error;
      return result;
    }
  }
  pid_t pid = 0;
  if (const int started = spawn(program_, in, out, err, pid); started != 0) {
    result.start_error = started;
    return result;
  }
  in.read.close();
  out.write.close();
  err.write.close();
  exchange(script, in, out, err, result);
  in.write.close();
  out.read.close();
  err.read.close();
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.status = 128;
      return result;
    }
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace broaden
