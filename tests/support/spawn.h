// Runs the built program as a child process: working folder, standard input
// fed through a pipe, standard output and standard error captured apart.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace broaden::testing {

/// Bytes for standard input, written once standard output holds `await`
/// (at once when `await` is empty).
struct InputStep {
  std::string await;
  std::string bytes;
};

struct Launch {
  std::vector<InputStep> input;
  std::string stdout_path = {};              ///< when set, standard output goes to this file
  std::string stdin_path = {};               ///< when set, standard input is this file, not `input`
  rlim_t file_size_limit = RLIM_INFINITY;    ///< RLIMIT_FSIZE of the child (SIGXFSZ ignored)
  std::chrono::seconds deadline{60};         ///< a hang guard: the child is killed after this long
  std::string program = BROADEN_EXECUTABLE;  ///< the program to run
  std::vector<std::string> arguments = {};   ///< its arguments, after its name
};

struct Outcome {
  int status = -1;  ///< exit status, or 128 + signal number
  std::string out;
  std::string err;
  bool timed_out = false;
  long peak_rss_kib = 0;  ///< the child's largest resident set size, in KiB
};

namespace spawn_detail {

inline void make_pipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
}

inline void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Reads what is there; false at end of file.
inline bool drain(int fd, std::string& into) {
  char buffer[65536];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got < 0) return errno == EINTR || errno == EAGAIN;
  into.append(buffer, static_cast<std::size_t>(got));
  return got > 0;
}

}  // namespace spawn_detail

inline Outcome spawn_broaden(const std::filesystem::path& folder, const Launch& launch) {
  using namespace spawn_detail;
  static const bool sigpipe_ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)sigpipe_ignored;

  // Everything the child needs is prepared before fork: it only makes
  // async-signal-safe calls.
  const std::string directory = folder.string();
  const std::string stdout_path = launch.stdout_path;
  const std::string stdin_path = launch.stdin_path;
  const rlimit limit{launch.file_size_limit, launch.file_size_limit};
  std::vector<const char*> argv{launch.program.c_str()};
  for (const std::string& argument : launch.arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  make_pipe(in);
  make_pipe(out);
  make_pipe(err);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int console = out[1];
    if (!stdout_path.empty())
      console = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int input = stdin_path.empty() ? in[0] : ::open(stdin_path.c_str(), O_RDONLY);
    if (::chdir(directory.c_str()) != 0 || console < 0 || input < 0 || ::dup2(input, 0) < 0 ||
        ::dup2(console, 1) < 0 || ::dup2(err[1], 2) < 0)
      ::_exit(127);
    if (limit.rlim_cur != RLIM_INFINITY) {
      ::signal(SIGXFSZ, SIG_IGN);
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(argv[0], const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  close_fd(in[0]);
  close_fd(out[1]);
  close_fd(err[1]);
  if (!stdout_path.empty()) close_fd(out[0]);
  if (!stdin_path.empty()) close_fd(in[1]);
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);

  Outcome outcome;
  std::size_t step = 0, written = 0;
  const auto deadline = start + launch.deadline;
  while (out[0] >= 0 || err[0] >= 0) {
    while (in[1] >= 0 && step < launch.input.size() && written == launch.input[step].bytes.size()) {
      ++step;
      written = 0;
    }
    if (in[1] >= 0 && step == launch.input.size()) close_fd(in[1]);
    const bool writable =
        in[1] >= 0 && (launch.input[step].await.empty() ||
                       outcome.out.find(launch.input[step].await) != std::string::npos);
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {writable ? in[1] : -1, POLLOUT, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      outcome.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR)
      throw std::runtime_error("poll failed");
    if (fds[0].revents != 0 && !drain(out[0], outcome.out)) close_fd(out[0]);
    if (fds[1].revents != 0 && !drain(err[0], outcome.err)) close_fd(err[0]);
    if (fds[2].revents != 0) {
      const std::string& bytes = launch.input[step].bytes;
      const ssize_t put = ::write(in[1], bytes.data() + written, bytes.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put < 0 && errno != EAGAIN && errno != EINTR) close_fd(in[1]);  // the child is gone
    }
  }
  close_fd(in[1]);
  close_fd(out[0]);
  close_fd(err[0]);

  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  outcome.peak_rss_kib = usage.ru_maxrss;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return outcome;
}

/// The common case: all of `input` on standard input at once.
inline Outcome spawn_broaden(const std::filesystem::path& folder, const std::string& input) {
  return spawn_broaden(folder, Launch{.input = {{"", input}}});
}

}  // namespace broaden::testing
