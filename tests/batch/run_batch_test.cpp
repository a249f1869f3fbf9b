// broaden-batch's whole run in-process, against a temporary folder through
// the file-system seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "batch/batch.h"
#include "io/posix_file_system.h"
#include "support/temp_folder.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

class RunBatchTest : public ::testing::Test {
 protected:
  RunBatchTest() : folder_fd_(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY)) {}
  ~RunBatchTest() override { ::close(folder_fd_); }

  // Runs with `arguments`, standard input read from the folder's file `input`.
  int run(std::vector<std::string> arguments, const std::string& input = "",
          FileSystem* files = nullptr) {
    folder.write(".stdin", input);
    const int input_fd = ::openat(folder_fd_, ".stdin", O_RDONLY);
    arguments.insert(arguments.begin(), "broaden-batch");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    out.str("");
    err.str("");
    const int status = run_batch(static_cast<int>(argv.size()), argv.data(), input_fd, out, err,
                                 files != nullptr ? *files : files_);
    ::close(input_fd);
    fs::remove(folder / ".stdin");
    return status;
  }

  // The names in the folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder.path()))
      found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
  }

  TempFolder folder;
  std::ostringstream out, err;

 private:
  int folder_fd_;

 protected:
  PosixFileSystem files_{folder_fd_};
};

TEST_F(RunBatchTest, WritesTheSpectrumIntoTheFolderOfItsFileSystem) {
  folder.write("lines.txt", "1000 2\n");
  const std::vector<std::string> options{"--fwhm", "4", "--from", "990", "--to", "1010"};
  ASSERT_EQ(run(options, "1000 2\n"), 0) << err.str();
  const std::string piped = out.str();
  std::vector<std::string> to_file = options;
  to_file.insert(to_file.end(), {"lines.txt", "-o", "out.tsv"});
  ASSERT_EQ(run(to_file), 0) << err.str();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "");
  EXPECT_FALSE(fs::exists("out.tsv"));  // not in the current folder
  // The same points; the comment line names the input.
  const std::string written = folder.read("out.tsv");
  EXPECT_EQ(written.substr(written.find('\n')), piped.substr(piped.find('\n')));
  EXPECT_NE(written.find(" input='lines.txt' lines=1\n"), std::string::npos) << written;
  EXPECT_EQ(names(), (std::vector<std::string>{"lines.txt", "out.tsv"}));
}

TEST_F(RunBatchTest, AnExistingNameIsRefusedUnlessForcedAndNoTemporaryFileStays) {
  folder.write("lines.txt", "  100.0000    1.0000\n");
  folder.write("out.txt", "precious\n");
  fs::create_symlink("nowhere", folder / "link.txt");
  for (const char* name : {"out.txt", "link.txt"}) {
    EXPECT_EQ(run({"--classic", "--sigma", "5", "lines.txt", "-o", name}), 1);
    EXPECT_EQ(err.str(),
              "broaden-batch: '" + std::string(name) + "' exists: give --force to replace it\n");
  }
  EXPECT_EQ(folder.read("out.txt"), "precious\n");
  ASSERT_EQ(run({"--classic", "--sigma", "5", "lines.txt", "-o", "link.txt", "--force"}), 0)
      << err.str();
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "link.txt")));  // replaced itself
  EXPECT_EQ(folder.read("link.txt").size(), 20000u * 28);
  EXPECT_FALSE(folder.exists("nowhere"));
  fs::create_directory(folder / "sub");
  EXPECT_EQ(run({"--classic", "--sigma", "5", "lines.txt", "-o", "sub", "--force"}), 1);
  EXPECT_EQ(err.str(), "broaden-batch: cannot replace 'sub': Is a directory\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"lines.txt", "link.txt", "out.txt", "sub"}));
}

// Names with control characters stay on one line in every message.
TEST_F(RunBatchTest, EveryMessageNamingAFileIsOneLine) {
  folder.write("bad\nlines", "1 2\n3 x\n");
  folder.write("taken\r", "");
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"--fwhm", "1", "no\nsuch"},
       "broaden-batch: cannot open 'no\\x0asuch': No such file or directory\n"},
      {{"--fwhm", "1", "no\x1bsuch"},
       "broaden-batch: cannot open 'no\\x1bsuch': No such file or directory\n"},
      {{"--fwhm", "1", "bad\nlines"},
       "broaden-batch: bad\\x0alines:2:3: expected a number for the intensity (field 2), not "
       "'x'\n"},
      {{"--fwhm", "1", "-o", "taken\r"},
       "broaden-batch: 'taken\\x0d' exists: give --force to replace it\n"},
      {{"--fwhm", "1", "-o", "no\tdir/out"},
       "broaden-batch: cannot create a file beside 'no\\x09dir/out': No such file or directory\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.arguments, "1 2\n"), 1);
    EXPECT_EQ(err.str(), c.message);
  }
  // The spectrum's comment line names the input as messages do.
  folder.write("odd\x1b[2Jname\n", "1000 2\n");
  ASSERT_EQ(run({"--fwhm", "1", "odd\x1b[2Jname\n"}), 0) << err.str();
  const std::string first_line = out.str().substr(0, out.str().find('\n'));
  EXPECT_NE(first_line.find(" input='odd\\x1b[2Jname\\x0a' lines=1"), std::string::npos)
      << first_line;
}

// A file system whose temporary files fill up after `room` bytes, and whose
// link finds the name taken when `taken` says so: faults a real folder
// cannot be made to show at will.
class FaultyFileSystem : public FileSystem {
 public:
  class Buffer : public std::streambuf {
   public:
    Buffer(std::string& sink, std::size_t room) : sink_(sink), room_(room) {}

   protected:
    int_type overflow(int_type c) override {
      if (sink_.size() >= room_) throw std::system_error(ENOSPC, std::generic_category());
      sink_ += traits_type::to_char_type(c);
      return c;
    }

   private:
    std::string& sink_;
    std::size_t room_;
  };
  struct File : OutputFile {
    explicit File(std::streambuf* buffer) : OutputFile(buffer) { exceptions(std::ios::badbit); }
    void close() override { flush(); }
  };

  FaultyFileSystem(std::size_t room, bool taken) : buffer_(written, room), taken_(taken) {}

  std::unique_ptr<std::istream> open_existing(const std::string&, std::string&) override {
    return std::make_unique<std::istringstream>("1000 2\n");
  }
  std::unique_ptr<OutputFile> create_new(const std::string&, std::string& reason) override {
    reason = "not here";
    return nullptr;
  }
  std::unique_ptr<OutputFile> create_temporary(const std::string& prefix, std::string& name,
                                               std::string&) override {
    name = prefix + "000000";
    log += "create " + name + "\n";
    return std::make_unique<File>(&buffer_);
  }
  std::error_code link(const std::string& from, const std::string& to) override {
    log += "link " + from + " " + to + "\n";
    return taken_ ? std::make_error_code(std::errc::file_exists) : std::error_code();
  }
  void remove(const std::string& name) noexcept override { log += "remove " + name + "\n"; }

  std::string written, log;

 private:
  Buffer buffer_;
  bool taken_;
};

TEST_F(RunBatchTest, FailedWritesAndANameTakenAtTheMoveLeaveNothingBehind) {
  FaultyFileSystem full(1000, false);
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "out.tsv"}, "", &full), 1);
  EXPECT_EQ(err.str(), "broaden-batch: cannot write 'out.tsv': No space left on device\n");
  EXPECT_EQ(full.log, "create ./.broaden-batch-000000\nremove ./.broaden-batch-000000\n");
  EXPECT_EQ(full.written.size(), 1000u);

  FaultyFileSystem taken(1u << 30, true);
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "dir/out.tsv"}, "", &taken), 1);
  EXPECT_EQ(err.str(), "broaden-batch: 'dir/out.tsv' exists: give --force to replace it\n");
  EXPECT_EQ(taken.log,
            "create dir/.broaden-batch-000000\nlink dir/.broaden-batch-000000 dir/out.tsv\n"
            "remove dir/.broaden-batch-000000\n");

  // A file system that only reads and creates cannot make a file whole.
  FileSystem& plain = taken;
  EXPECT_EQ(plain.FileSystem::rename("a", "b"), std::errc::operation_not_supported);
}

TEST_F(RunBatchTest, AnEmptyLineListWithAWidthColumnGivesTheZeroSpectrum) {
  // The widths come from a column no line fills: nothing to refuse.
  folder.write("empty.txt", "# no lines\n");
  const std::vector<std::vector<std::string>> shapes = {{"--shape", "pseudo-voigt", "--eta", "0.4"},
                                                        {"--shape", "gaussian"},
                                                        {"--shape", "lorentzian"}};
  for (std::vector<std::string> options : shapes) {
    options.insert(options.end(), {"--columns", "2,1,3", "--from", "1", "--to", "3", "--step", "1",
                                   "empty.txt", "-o", "out.tsv"});
    ASSERT_EQ(run(options), 0) << err.str();
    // Written, and told: a wrong or empty file gives a flat spectrum.
    EXPECT_EQ(err.str(),
              "broaden-batch: warning: 'empty.txt' holds no lines: it adds nothing to the "
              "spectrum\n");
    const std::string written = folder.read("out.tsv");
    EXPECT_EQ(written.substr(written.find('\n') + 1), "1\t0\n2\t0\n3\t0\n") << options[1];
    EXPECT_EQ(names(), (std::vector<std::string>{"empty.txt", "out.tsv"}));
    fs::remove(folder / "out.tsv");
  }
}

// What --force may replace: a regular file, a link to one, a dangling link.
// A named pipe, a device, a socket, a folder, or a link to one of these is
// refused before any work, and left as it was.
TEST_F(RunBatchTest, ForceNeverReplacesAPipeAFolderOrALinkToOne) {
  folder.write("lines.txt", "1000 2\n");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", folder / "to_pipe");
  fs::create_directory(folder / "sub");
  fs::create_symlink("sub", folder / "to_sub");
  const struct {
    const char* name;
    std::string reason;
  } cases[] = {
      {"pipe", "not a regular file (send standard output to it instead of -o)"},
      {"to_pipe", "not a regular file (send standard output to it instead of -o)"},
      {"sub", "Is a directory"},
      {"to_sub", "Is a directory"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run({"--fwhm", "1", "lines.txt", "-o", c.name, "--force"}), 1) << c.name;
    EXPECT_EQ(err.str(),
              "broaden-batch: cannot replace '" + std::string(c.name) + "': " + c.reason + "\n");
    // Without --force the same reason, not a hint that --force would do.
    EXPECT_EQ(run({"--fwhm", "1", "lines.txt", "-o", c.name}), 1) << c.name;
    EXPECT_EQ(err.str(),
              "broaden-batch: cannot replace '" + std::string(c.name) + "': " + c.reason + "\n");
  }
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder / "pipe")));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "to_pipe")));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "to_sub")));
  EXPECT_EQ(names(), (std::vector<std::string>{"lines.txt", "pipe", "sub", "to_pipe", "to_sub"}));
}

// A seam that stands for a device under a name (no real device is ever
// touched), or for a name a device takes between the start and the move.
class DeviceFileSystem : public FileSystem {
 public:
  explicit DeviceFileSystem(int device_after) : device_after_(device_after) {}
  std::unique_ptr<std::istream> open_existing(const std::string&, std::string&) override {
    return std::make_unique<std::istringstream>("1000 2\n");
  }
  std::unique_ptr<OutputFile> create_new(const std::string&, std::string&) override {
    return nullptr;
  }
  NameKind kind_of(const std::string& name, bool follow_links) override {
    log += "kind " + name + (follow_links ? " followed\n" : "\n");
    return looks_ >= device_after_ ? NameKind::special : (++looks_, NameKind::other);
  }
  std::unique_ptr<OutputFile> create_temporary(const std::string& prefix, std::string& name,
                                               std::string&) override {
    name = prefix + "000000";
    log += "create " + name + "\n";
    return std::make_unique<File>(&sink_);
  }
  std::error_code copy_permissions(const std::string& from, const std::string& to) override {
    log += "permissions " + from + " " + to + "\n";
    return {};
  }
  std::error_code rename(const std::string& from, const std::string& to) override {
    log += "rename " + from + " " + to + "\n";
    return {};
  }
  void remove(const std::string& name) noexcept override { log += "remove " + name + "\n"; }

  std::string log;

 private:
  struct File : OutputFile {
    explicit File(std::streambuf* buffer) : OutputFile(buffer) {}
    void close() override { flush(); }
  };
  std::stringbuf sink_;
  int device_after_;
  int looks_ = 0;
};

TEST_F(RunBatchTest, ForceNeverRenamesOverADeviceNotEvenOneThatCameMeanwhile) {
  DeviceFileSystem device(0);
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "dev/tty", "--force"}, "", &device), 1);
  EXPECT_EQ(err.str(),
            "broaden-batch: cannot replace 'dev/tty': not a regular file (send standard output to "
            "it instead of -o)\n");
  EXPECT_EQ(device.log, "kind dev/tty followed\n");  // nothing made, nothing moved

  DeviceFileSystem later(1);
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "out", "--force"}, "", &later), 1);
  EXPECT_EQ(later.log,
            "kind out followed\ncreate ./.broaden-batch-000000\n"
            "permissions out ./.broaden-batch-000000\nkind out followed\n"
            "remove ./.broaden-batch-000000\n");
}

// The replaced file's permission bits stay (a private file stays private
// also while it is written); a new file gets those of a new file.
TEST_F(RunBatchTest, ForceKeepsTheReplacedFilesPermissionBits) {
  folder.write("lines.txt", "1000 2\n");
  for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0444)}) {
    folder.write("out.tsv", "old\n");
    fs::permissions(folder / "out.tsv", mode);
    fs::create_symlink("out.tsv", folder / "link.tsv");
    for (const char* name : {"out.tsv", "link.tsv"}) {
      ASSERT_EQ(run({"--fwhm", "1", "lines.txt", "-o", name, "--force"}), 0) << err.str();
      EXPECT_EQ(fs::status(folder / name).permissions(), mode) << name;
    }
    EXPECT_FALSE(fs::is_symlink(folder / "link.tsv"));
    fs::remove(folder / "out.tsv");
    fs::remove(folder / "link.tsv");
  }
  const mode_t mask = ::umask(022);
  ASSERT_EQ(run({"--fwhm", "1", "lines.txt", "-o", "new.tsv"}), 0) << err.str();
  ::umask(mask);
  EXPECT_EQ(fs::status(folder / "new.tsv").permissions(), fs::perms(0644));
}

TEST_F(RunBatchTest, WarningsAgreeInNumberAndNotesNameTheLine) {
  const std::vector<std::string> grid{"--fwhm", "20", "--from", "0", "--to", "10", "--points", "3"};
  const struct {
    std::string lines, err;
  } cases[] = {
      {"5 1\n20 1\n",
       "broaden-batch: warning: 1 of 2 lines lies outside the grid (0 to 10); only its tail "
       "reaches it\n"},
      {"20 1\n30 1\n5 1\n",
       "broaden-batch: warning: 2 of 3 lines lie outside the grid (0 to 10); only their tails "
       "reach it\n"},
      {"20 1\n",
       "broaden-batch: warning: 1 of 1 line lies outside the grid (0 to 10); only its tail "
       "reaches it\n"},
      {"freq,int\r\n5 1\r\n",
       "broaden-batch: note: standard input:1: skipped the header row 'freq,int'\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(grid, c.lines), 0);
    EXPECT_EQ(err.str(), c.err);
    // --quiet silences them, and changes nothing else.
    const std::string spoken = out.str();
    std::vector<std::string> quiet = grid;
    quiet.push_back("--quiet");
    EXPECT_EQ(run(quiet, c.lines), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str(), spoken);
  }
  // Failures are never silenced.
  EXPECT_EQ(run({"--fwhm", "1", "--quiet", "absent.txt"}), 1);
  EXPECT_NE(err.str().find("cannot open 'absent.txt'"), std::string::npos);
  EXPECT_EQ(run({"--fwhm", "1", "--quiet", "--step", "0"}), 2);
  EXPECT_NE(err.str().find("--step must be positive"), std::string::npos);
}

// The number of threads changes nothing in what is written, for every shape
// and the classic preset.
// A step above a quarter of the narrowest full width is told, with the step
// that would do; the spectrum is written all the same.
// A line list in eV, or drawn in nm, gets the grid that spans its lines, as
// an output does: the classic 0.1 to 2000 is a wavenumber range.
TEST_F(RunBatchTest, ALineListAwayFromWavenumbersGetsAGridSpanningItsLines) {
  for (const auto& [arguments, header] : {
           std::pair{std::vector<std::string>{"--fwhm", "0.1", "--line-unit", "ev"},
                     "from=2.5 to=5 step=0.005 "},
           {std::vector<std::string>{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm"},
            "from=247.5 to=496 step=0.5 "},
           {std::vector<std::string>{"--fwhm", "1"}, "from=0.1 to=2000 step=0.1 "},
       }) {
    ASSERT_EQ(run(arguments, "4 1\n3.5 2\n"), 0) << err.str();
    EXPECT_NE(out.str().substr(0, out.str().find('\n')).find(header), std::string::npos)
        << out.str().substr(0, 200);
    EXPECT_EQ(err.str().find("coarse"), std::string::npos) << err.str();
  }
}

TEST_F(RunBatchTest, AGridTooCoarseForTheNarrowestLineIsTold) {
  const std::string told = "the grid is too coarse for the width";
  const struct {
    std::vector<std::string> arguments;
    std::string lines;
    std::string message;  ///< empty: no warning
  } cases[] = {
      {{"--fwhm", "4", "--from", "900", "--to", "1100", "--step", "1"}, "1000 1\n", ""},
      {{"--fwhm", "3.9", "--from", "900", "--to", "1100", "--step", "1"},
       "1000 1\n",
       "broaden-batch: warning: the grid is too coarse for the width: its step, 1 cm-1, is more "
       "than a quarter of the narrowest full width at half maximum, 3.9 cm-1 (a step of 0.975 or "
       "less draws the peaks)\n"},
      // Per-line widths: the narrowest line counts, in the shape's own measure.
      {{"--shape", "lorentzian", "--columns", "1,2,3", "--from", "900", "--to", "1200", "--step",
        "1"},
       "1000 1 8\n1100 1 2\n",
       "narrowest full width at half maximum, 2 cm-1"},
      {{"--columns", "1,2,3", "--from", "900", "--to", "1200", "--step", "1"},
       "1000 1 8\n1100 1 4\n",
       ""},
      // On a wavelength axis the width is measured where the line stands: 0.1 eV at 4 eV
      // is 7.75 nm wide.
      {{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm", "--from", "200", "--to", "400",
        "--step", "2.5"},
       "4 1\n",
       "narrowest full width at half maximum, 7.75 nm"},
      {{"--fwhm", "0.1", "--line-unit", "ev", "--axis", "nm", "--from", "200", "--to", "400",
        "--step", "1.9"},
       "4 1\n",
       ""},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run(c.arguments, c.lines), 0) << err.str();
    EXPECT_FALSE(out.str().empty());
    if (c.message.empty())
      EXPECT_EQ(err.str().find(told), std::string::npos) << err.str();
    else
      EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    std::vector<std::string> quiet = c.arguments;
    quiet.push_back("--quiet");
    ASSERT_EQ(run(quiet, c.lines), 0);
    EXPECT_EQ(err.str(), "");
  }
}

TEST_F(RunBatchTest, ThreadsChangeNothingWritten) {
  std::string lines;
  for (int i = 0; i < 300; ++i)
    lines += std::to_string(100 + 6.37 * i) + " " + std::to_string(1 + i % 7) + "\n";
  const std::vector<std::vector<std::string>> runs{
      {"--fwhm", "3"},
      {"--shape", "lorentzian", "--fwhm", "3", "--step", "0.05"},
      {"--shape", "pseudo-voigt", "--fwhm", "3", "--eta", "0.3"},
      {"--shape", "voigt", "--gaussian-fwhm", "2", "--lorentzian-fwhm", "1", "--step", "1"},
  };
  for (const auto& options : runs) {
    ASSERT_EQ(run(options, lines), 0) << err.str();
    const std::string whole = out.str();
    for (const char* threads : {"1", "2", "7"}) {
      std::vector<std::string> with = options;
      with.insert(with.end(), {"--threads", threads});
      ASSERT_EQ(run(with, lines), 0) << err.str();
      EXPECT_TRUE(out.str() == whole) << options[1] << " on " << threads << " threads";
    }
  }
  std::string records;
  for (int i = 0; i < 300; ++i) records += "  " + std::to_string(100 + 6.37 * i) + "   5.0\n";
  ASSERT_EQ(run({"--classic", "--sigma", "2"}, records), 0) << err.str();
  const std::string classic = out.str();
  ASSERT_EQ(run({"--classic", "--sigma", "2", "--threads", "1"}, records), 0) << err.str();
  EXPECT_TRUE(out.str() == classic);
}

// On a terminal a long run shows its progress on standard error and blanks
// it out; never with --quiet, never when standard error is not a terminal,
// and the output is the same.
TEST_F(RunBatchTest, ProgressOnlyOnATerminalAndNotWithQuiet) {
  const std::vector<std::string> options{"--shape", "lorentzian", "--fwhm",
                                         "2",       "--points",   "200000"};
  const std::string lines = "1000 1\n500 2\n";
  const auto run_on_terminal = [&](std::vector<std::string> arguments, bool terminal) {
    folder.write(".stdin", lines);
    const int input_fd = ::open((folder.path() / ".stdin").c_str(), O_RDONLY);
    arguments.insert(arguments.begin(), "broaden-batch");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    out.str("");
    err.str("");
    BatchTerminal shown;
    shown.progress = terminal;
    shown.timing = {std::chrono::milliseconds(0), std::chrono::milliseconds(1)};
    const int status =
        run_batch(static_cast<int>(argv.size()), argv.data(), input_fd, out, err, files_, shown);
    ::close(input_fd);
    return status;
  };
  ASSERT_EQ(run_on_terminal(options, false), 0);
  EXPECT_EQ(err.str(), "");
  const std::string spectrum = out.str();

  ASSERT_EQ(run_on_terminal(options, true), 0);
  EXPECT_TRUE(out.str() == spectrum);
  const std::string shown = err.str();
  // The line may have come too late to be shown at all; if shown, it is blanked.
  if (!shown.empty()) {
    EXPECT_EQ(shown.rfind("\rbroaden-batch: ", 0), 0u) << shown;
    EXPECT_EQ(shown.back(), '\r');
    EXPECT_EQ(shown.find('\n'), std::string::npos);
  }
  std::vector<std::string> quiet = options;
  quiet.push_back("--quiet");
  ASSERT_EQ(run_on_terminal(quiet, true), 0);
  EXPECT_EQ(err.str(), "");
}

// A Gaussian output, recognised by its content: the vibrations it holds as a
// line list, the imaginary mode left out with a warning, a grid that spans
// the lines; what it does not hold, or holds twice over, told by name.
TEST_F(RunBatchTest, AProgramsOutputIsRecognisedAndItsSpectrumDrawn) {
  const std::string banner =
      " Entering Gaussian System, Link 0=g16\n"
      " Copyright (c) 1988-2019, Gaussian, Inc.  All Rights Reserved.\n";
  const std::string analysis =
      " Harmonic frequencies (cm**-1), IR intensities (KM/Mole), Raman scattering\n"
      " activities (A**4/AMU), depolarization ratios for plane and unpolarized\n"
      " incident light, reduced masses (AMU), force constants (mDyne/A),\n"
      " and normal coordinates:\n"
      "                      1                      2                      3\n"
      "                      A                      A                      A\n"
      " Frequencies --   -123.4567              1000.1234              1500.5000\n"
      " Red. masses --      1.0000                 2.0000                 3.0000\n"
      " Frc consts  --      0.1000                 0.2000                 0.3000\n"
      " IR Inten    --      5.0000                10.2500                 0.0100\n";
  const std::string raman =
      " Raman Activ --      1.0000                 2.5000                 0.0000\n";
  const std::string tail =
      "  Atom  AN      X      Y      Z        X      Y      Z        X      Y      Z\n"
      "     1   8     0.00   0.00   0.07     0.00   0.00   0.07     0.00   0.00   0.07\n"
      "\n";
  folder.write("ir.log", banner + analysis + tail);
  folder.write("both.log", banner + analysis + raman + tail);
  folder.write("lines.txt", "1000.1234 10.25\n1500.5 0.01\n");

  // The same spectrum as the line list of its real modes, on the same grid.
  const std::vector<std::string> grid{"--shape", "lorentzian", "--fwhm", "10",     "--from",
                                      "900",     "--to",       "1600",   "--step", "0.5"};
  std::vector<std::string> from_output = grid;
  from_output.push_back("ir.log");
  ASSERT_EQ(run(from_output), 0) << err.str();
  EXPECT_NE(err.str().find("broaden-batch: warning: ir.log:"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("imaginary"), std::string::npos) << err.str();
  const std::string spectrum = out.str();
  EXPECT_NE(spectrum.find(" lines=2 spectrum=ir intensity=km/mol axis=cm-1\n"), std::string::npos)
      << spectrum.substr(0, 200);
  std::vector<std::string> from_lines = grid;
  from_lines.push_back("lines.txt");
  ASSERT_EQ(run(from_lines), 0) << err.str();
  EXPECT_EQ(spectrum.substr(spectrum.find('\n')), out.str().substr(out.str().find('\n')));

  // Without a range the grid spans the lines, 10 widths either side, step a tenth of one.
  ASSERT_EQ(run({"--shape", "lorentzian", "--fwhm", "10", "--quiet", "ir.log"}), 0) << err.str();
  EXPECT_EQ(
      out.str().rfind("# shape=lorentzian fwhm=10 normalise=area from=900 to=1601 step=1 ", 0), 0u)
      << out.str().substr(0, 120);

  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  } refusals[] = {
      {{"--fwhm", "10", "both.log"},
       1,
       "'both.log' holds IR intensities, Raman activities: give --spectrum ir or --spectrum "
       "raman"},
      {{"--fwhm", "10", "--spectrum", "raman", "ir.log"},
       1,
       "'ir.log' holds no Raman activities (it holds: IR intensities)"},
      {{"--fwhm", "10", "--spectrum", "ir", "lines.txt"}, 2, "--spectrum is for the outputs"},
      {{"--fwhm", "10", "--columns", "2,1", "ir.log"}, 2, "--columns is for a columns line list"},
      {{"--fwhm", "10", "--input", "orca", "ir.log"}, 1, "holds no spectrum (it holds: nothing)"},
      {{"--fwhm", "10", "--input", "fixed", "--spectrum", "ir", "ir.log"},
       2,
       "--spectrum is for the outputs of quantum-chemistry programs, not --input fixed"},
      {{"--fwhm", "10", "--spectrum", "uv", "ir.log"},
       1,
       "'ir.log' holds no oscillator strengths (it holds: IR intensities)"},
      // Options that would change nothing are refused, not recorded as if used.
      {{"--fwhm", "10", "--spectrum", "ir", "--units", "epsilon", "--laser", "532nm", "both.log"},
       2,
       "--laser is for --spectrum raman, and 'both.log' gives --spectrum ir"},
      {{"--fwhm", "10", "--rotatory", "length", "ir.log"},
       2,
       "--rotatory is for --spectrum ecd, and 'ir.log' gives --spectrum ir"},
      {{"--fwhm", "10", "--rotatory", "length", "lines.txt"},
       2,
       "--rotatory is for the outputs of quantum-chemistry programs, and 'lines.txt' is a line "
       "list"},
  };
  for (const auto& c : refusals) {
    EXPECT_EQ(run(c.arguments), c.status) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
  }
  ASSERT_EQ(run({"--fwhm", "10", "--spectrum", "raman", "--quiet", "both.log"}), 0) << err.str();
  EXPECT_NE(out.str().find("spectrum=raman intensity=A^4/amu"), std::string::npos);

  // A stick carries its line's area: with epsilon the curve's unit times the broadening unit.
  ASSERT_EQ(run({"--fwhm", "10", "--units", "epsilon", "--quiet", "--sticks", "-", "-o", "ir.tsv",
                 "ir.log"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find(" spectrum=ir intensity=epsilon/(L/mol/cm)*cm-1 axis=cm-1 sticks\n"),
            std::string::npos)
      << out.str().substr(0, 300);
  std::ifstream curve(folder / "ir.tsv");
  std::string head;
  std::getline(curve, head);
  EXPECT_NE(head.find(" spectrum=ir intensity=epsilon/(L/mol/cm) axis=cm-1"), std::string::npos)
      << head;
}

// The points of a tsv spectrum: abscissae and values.
struct Points {
  std::vector<double> x, y;
};
Points points_of(const std::string& tsv) {
  Points points;
  std::istringstream lines(tsv);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    points.x.push_back(std::strtod(line.substr(0, tab).c_str(), nullptr));
    points.y.push_back(std::strtod(line.substr(tab + 1).c_str(), nullptr));
  }
  return points;
}

// The trapezoid integral of y (times weight(x)) over x.
double integral(const Points& p, double (*weight)(double) = nullptr) {
  double sum = 0.0;
  for (std::size_t i = 1; i < p.x.size(); ++i) {
    const double a = weight ? weight(p.x[i - 1]) : 1.0, b = weight ? weight(p.x[i]) : 1.0;
    sum += (p.x[i] - p.x[i - 1]) * (a * p.y[i - 1] + b * p.y[i]) / 2;
  }
  return sum;
}

const std::string kGaussianBanner =
    " Entering Gaussian System, Link 0=g16\n"
    " Copyright (c) 1988-2019, Gaussian, Inc.  All Rights Reserved.\n";
// The heading of Gaussian's vibrational analysis.
const std::string kAnalysisHeader =
    " Harmonic frequencies (cm**-1), IR intensities (KM/Mole), Raman scattering\n"
    " activities (A**4/AMU), depolarization ratios for plane and unpolarized\n"
    " incident light, reduced masses (AMU), force constants (mDyne/A),\n"
    " and normal coordinates:\n";
// Two excited states with their rotatory strengths, as Gaussian prints them.
const std::string kExcitedStates =
    kGaussianBanner +
    " <0|del|b> * <b|rxdel|0> + <0|del|b> * <b|delr+rdel|0>\n"
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ    R(velocity)    E-M Angle\n"
    "         1        -0.5409     -0.1929     -0.4285     -0.3874      138.41\n"
    "         2         7.4136    -41.2581    -64.7349    -32.8598      102.36\n"
    " 1/2[<0|r|b>*<b|rxdel|0> + (<0|rxdel|b>*<b|r|0>)*]\n"
    " Rotatory Strengths (R) in cgs (10**-40 erg-esu-cm/Gauss)\n"
    "       state          XX          YY          ZZ     R(length)\n"
    "         1        -0.6314     -0.8070      0.0043     -0.4780\n"
    "         2      -164.9642    -10.7393     31.1655    -48.1793\n"
    "  1/2[<0|del|b>*<b|r|0> + (<0|r|b>*<b|del|0>)*] (Au)\n"
    "\n"
    " Excitation energies and oscillator strengths:\n"
    " \n"
    " Excited State   1:      Singlet-A      5.6287 eV  220.27 nm  f=0.0018  <S**2>=0.000\n"
    "      34 -> 36         0.52587\n"
    " \n"
    " Excited State   2:      Singlet-A      6.0621 eV  204.52 nm  f=0.5880  <S**2>=0.000\n"
    "      35 -> 36         0.67354\n"
    " Normal termination of Gaussian 16 at Mon Sep  1 17:10:54 2014.\n";

// Each --units epsilon conversion is the relation it states, integrated on a
// fine wide grid: epsilon over wavenumber against km/mol and against f,
// delta epsilon over wavenumber against R.
// The rows of a tsv spectrum: everything after its comment line.
std::string rows_of(const std::string& tsv) { return tsv.substr(tsv.find('\n') + 1); }

TEST_F(RunBatchTest, SeveralFilesAreSummedEachByItsWeight) {
  folder.write("a.txt", "1000 2\n1100 0.5\n");
  folder.write("b.txt", "1200 3\n");
  folder.write("w.txt", "1000 2 4\n");
  // Weights that scale exactly: the sum is the one list of the scaled lines, bit for bit.
  folder.write("ab.txt", "1000 1\n1100 0.25\n1200 6\n");
  const std::vector<std::string> grid{"--shape", "lorentzian", "--fwhm", "8",      "--from",
                                      "900",     "--to",       "1300",   "--step", "0.5"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> arguments = grid;
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  };
  ASSERT_EQ(run(with({"ab.txt"})), 0) << err.str();
  const std::string one_list = out.str();
  ASSERT_EQ(run(with({"--weights", "0.5,2", "a.txt", "b.txt"})), 0) << err.str();
  EXPECT_EQ(rows_of(out.str()), rows_of(one_list));
  EXPECT_NE(out.str().find(" input='a.txt' weight=0.5 input='b.txt' weight=2 lines=3\n"),
            std::string::npos)
      << out.str().substr(0, 300);
  // Without weights each counts once; standard input is one of the files.
  ASSERT_EQ(run(with({"a.txt", "-"}), "1200 3\n"), 0) << err.str();
  EXPECT_NE(out.str().find(" input='a.txt' weight=1 input=- weight=1 lines=3\n"), std::string::npos)
      << out.str().substr(0, 300);
  ASSERT_EQ(run(with({"--weights", " 0.5 , 2", "a.txt", "b.txt"})), 0) << err.str();
  EXPECT_EQ(rows_of(out.str()), rows_of(one_list));

  const struct {
    std::vector<std::string> files;
    std::string message;
  } refusals[] = {
      {{"--columns", "1,2,3", "w.txt", "a.txt"}, "a.txt:1:7: expected"},
      {{"--boltzmann", "298.15", "a.txt", "b.txt"},
       "--boltzmann weights the files by their free energies, and 'a.txt' holds none"},
      {{"a.txt", "absent.txt"}, "cannot open 'absent.txt'"},
  };
  for (const auto& c : refusals) {
    std::vector<std::string> arguments = with(c.files);
    arguments.insert(arguments.end(), {"-o", "never.tsv"});
    EXPECT_EQ(run(arguments), 1) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(folder / "never.tsv")) << c.message;
  }
}

TEST_F(RunBatchTest, BoltzmannWeightsFollowTheFreeEnergies) {
  const std::string analysis =
      " Entering Gaussian System, Link 0=g16\n"
      " Harmonic frequencies (cm**-1), IR intensities (KM/Mole), Raman scattering\n"
      " activities (A**4/AMU), depolarization ratios for plane and unpolarized\n"
      " incident light, reduced masses (AMU), force constants (mDyne/A),\n"
      " and normal coordinates:\n"
      "                      1\n"
      "                      A\n"
      " Frequencies --   1000.0000\n"
      " Red. masses --      1.0000\n"
      " Frc consts  --      0.1000\n"
      " IR Inten    --     10.0000\n"
      "  Atom  AN      X      Y      Z\n"
      "     1   8     0.00   0.00   0.07\n"
      "\n";
  // RT ln 10 at 298.15 K, with R = 8.314462618 J mol-1 K-1 and 1 hartree = 2625.4996394799 kJ
  // mol-1 (CODATA 2018): the conformer that much higher weighs a tenth of the other.
  const double decade = 8.314462618e-3 * 298.15 * std::log(10.0) / 2625.4996394799;
  char energy[64];
  std::snprintf(energy, sizeof energy, "%.9f", -382.0 + decade);
  folder.write("low.log",
               analysis + " Sum of electronic and thermal Free Energies=  -382.000000\n");
  folder.write("high.log",
               analysis + " Sum of electronic and thermal Free Energies=  " + energy + "\n");
  folder.write("none.log", analysis);
  ASSERT_EQ(run({"--fwhm", "10", "--quiet", "--boltzmann", "298.15", "--sticks", "-", "-o",
                 "ir.tsv", "low.log", "high.log"}),
            0)
      << err.str();
  std::istringstream sticks(out.str());
  std::string comment;
  std::getline(sticks, comment);
  EXPECT_NE(comment.find(" boltzmann=298.15"), std::string::npos) << comment;
  EXPECT_NE(comment.find(" input='low.log' free_energy=-382 weight="), std::string::npos)
      << comment;
  double position[2], intensity[2];
  for (int k = 0; k < 2; ++k) sticks >> position[k] >> intensity[k];
  ASSERT_TRUE(sticks) << out.str();
  EXPECT_EQ(position[0], 1000.0);
  EXPECT_NEAR(intensity[0] / intensity[1], 10.0, 1e-5);
  EXPECT_NEAR((intensity[0] + intensity[1]) / 10.0, 1.0, 1e-15);  // weights add up to 1

  // Twice the same energy: half each, whichever the order.
  ASSERT_EQ(run({"--fwhm", "10", "--boltzmann", "500", "--sticks", "-", "-o", "twice.tsv",
                 "low.log", "low.log"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find("\n1000\t5\n1000\t5\n"), std::string::npos) << out.str();
  EXPECT_NE(err.str().find("warning: 'low.log' is given more than once: its lines count each "
                           "time\n"),
            std::string::npos)
      << err.str();
  // Another molecule's energy, hundreds of hartree away, weighs nothing: said.
  folder.write("other.log", analysis + " Sum of electronic and thermal Free Energies=  -158.0\n");
  ASSERT_EQ(
      run({"--fwhm", "10", "--boltzmann", "298.15", "-o", "mixed.tsv", "low.log", "other.log"}), 0)
      << err.str();
  EXPECT_NE(err.str().find("warning: 'other.log' weighs nothing at 298.15 K: its free energy lies "
                           "224 hartree above the lowest"),
            std::string::npos)
      << err.str();

  ASSERT_EQ(run({"--fwhm", "10", "--boltzmann", "298.15", "low.log", "none.log"}), 1);
  EXPECT_NE(err.str().find("and 'none.log' holds none"), std::string::npos) << err.str();
  folder.write("lines.txt", "1000 1\n");
  ASSERT_EQ(run({"--fwhm", "10", "low.log", "lines.txt"}), 1);
  EXPECT_NE(err.str().find("'lines.txt' is a line list, and 'low.log' gives --spectrum ir: the "
                           "files summed must give one kind"),
            std::string::npos)
      << err.str();
}

TEST_F(RunBatchTest, EpsilonIntegratesToTheQuantityItStandsFor) {
  folder.write("ir.log", kGaussianBanner + kAnalysisHeader +
                             "                      1                      2\n"
                             "                      A                      A\n"
                             " Frequencies --   1000.1234              1500.5000\n"
                             " Red. masses --      2.0000                 3.0000\n"
                             " Frc consts  --      0.2000                 0.3000\n"
                             " IR Inten    --     10.2500                 0.0100\n"
                             "  Atom  AN      X      Y      Z        X      Y      Z\n"
                             "     1   8     0.00   0.00   0.07     0.00   0.00   0.07\n"
                             "\n");
  folder.write("td.log", kExcitedStates);
  ASSERT_EQ(run({"--fwhm", "20", "--units", "epsilon", "--from", "0", "--to", "3000", "--step",
                 "0.25", "ir.log"}),
            0)
      << err.str();
  EXPECT_NEAR(integral(points_of(out.str())), 100 / std::log(10.0) * 10.26, 1e-9 * 445.6);

  // Broadened in eV, drawn on wavenumbers: the integral over wavenumber.
  const double per_epsilon = 4.3189991794e-9;  // f per L mol-1 cm-2 (SI: 4 ln10 eps0 me c^2/NA e^2)
  ASSERT_EQ(run({"--spectrum", "uv", "--fwhm", "0.3", "--units", "epsilon", "--axis", "cm-1",
                 "--from", "20000", "--to", "80000", "--step", "0.5", "td.log"}),
            0)
      << err.str();
  EXPECT_NEAR(integral(points_of(out.str())) * per_epsilon, 0.0018 + 0.588, 1e-8);

  const double per_delta_epsilon = 2.2964826941e-39;  // (esu cm)^2 per L mol-1 cm-1
  for (const char* form : {"velocity", "length"}) {
    ASSERT_EQ(
        run({"--spectrum", "ecd", "--rotatory", form, "--fwhm", "2419.66cm-1", "--units", "epsilon",
             "--axis", "cm-1", "--from", "20000", "--to", "80000", "--step", "0.5", "td.log"}),
        0)
        << err.str();
    const double r = std::string(form) == "velocity" ? -0.3874 - 32.8598 : -0.478 - 48.1793;
    EXPECT_NEAR(
        integral(points_of(out.str()), [](double nu) { return 1 / nu; }) * per_delta_epsilon,
        r * 1e-40, 1e-8 * std::fabs(r) * 1e-40)
        << form;
  }
}

// The same spectrum on eV, nm and cm-1 axes: at the same energies the same
// values (the nm and cm-1 points interpolated on a fine eV grid).
TEST_F(RunBatchTest, TheAxesAgreePointForPointAtTheSameEnergies) {
  folder.write("td.log", kExcitedStates);
  ASSERT_EQ(run({"--spectrum", "uv", "--fwhm", "0.3", "--axis", "ev", "--from", "4", "--to", "8",
                 "--step", "0.00001", "td.log"}),
            0)
      << err.str();
  const Points ev = points_of(out.str());
  const double peak = *std::max_element(ev.y.begin(), ev.y.end());
  const auto at = [&](double energy) {
    const auto j = static_cast<std::size_t>((energy - 4) / 0.00001);
    const double t = (energy - ev.x[j]) / (ev.x[j + 1] - ev.x[j]);
    return ev.y[j] + t * (ev.y[j + 1] - ev.y[j]);
  };
  const struct {
    const char* axis;
    std::vector<std::string> grid;
    double (*energy)(double);
  } axes[] = {
      {"nm",
       {"--from", "160", "--to", "300", "--step", "0.5"},
       [](double nm) { return 1239.8419843320025 / nm; }},
      {"cm-1",
       {"--from", "33000", "--to", "64000", "--step", "10"},
       [](double nu) { return nu / 8065.543937349212; }},
  };
  for (const auto& a : axes) {
    std::vector<std::string> arguments{"--spectrum", "uv", "--fwhm", "0.3", "--axis", a.axis};
    arguments.insert(arguments.end(), a.grid.begin(), a.grid.end());
    arguments.push_back("td.log");
    ASSERT_EQ(run(arguments), 0) << err.str();
    const Points p = points_of(out.str());
    ASSERT_GT(p.x.size(), 100u);
    for (std::size_t i = 0; i < p.x.size(); ++i)
      ASSERT_NEAR(p.y[i], at(a.energy(p.x[i])), 1e-6 * peak) << a.axis << " " << p.x[i];
  }
}

// Raman cross-sections: two lines in the ratio of the formula's factors.
TEST_F(RunBatchTest, RamanCrossSectionsStandInTheFormulasRatio) {
  folder.write("raman.log", kGaussianBanner + kAnalysisHeader +
                                "                      1                      2\n"
                                "                      A                      A\n"
                                " Frequencies --    500.0000              1500.0000\n"
                                " Red. masses --      2.0000                 3.0000\n"
                                " Frc consts  --      0.2000                 0.3000\n"
                                " IR Inten    --     10.2500                 0.0100\n"
                                " Raman Activ --      3.0000                 7.0000\n"
                                "  Atom  AN      X      Y      Z        X      Y      Z\n"
                                "     1   8     0.00   0.00   0.07     0.00   0.00   0.07\n"
                                "\n");
  ASSERT_EQ(run({"--spectrum", "raman", "--units", "epsilon", "--laser", "532nm", "--temperature",
                 "300", "--fwhm", "10", "-o", "s.tsv", "--sticks", "-", "raman.log"}),
            0)
      << err.str();
  const Points sticks = points_of(out.str());
  ASSERT_EQ(sticks.x, (std::vector<double>{500, 1500}));
  const double laser = 1e7 / 532, c2 = 1.438776877;
  const double b1 = 1 - std::exp(-c2 * 500 / 300), b2 = 1 - std::exp(-c2 * 1500 / 300);
  const double ratio =
      std::pow((laser - 500) / (laser - 1500), 4) * (3.0 / 7.0) * (1500.0 / 500.0) * (b2 / b1);
  EXPECT_NEAR(sticks.y[0] / sticks.y[1], ratio, ratio * 1e-9);
  EXPECT_NE(folder.read("s.tsv").find("intensity=dsigma/dOmega/(cm^2/sr)"), std::string::npos);
  EXPECT_EQ(run({"--spectrum", "raman", "--units", "epsilon", "--laser", "1400cm-1", "--fwhm", "10",
                 "raman.log"}),
            1);
  EXPECT_NE(err.str().find("beyond the laser"), std::string::npos) << err.str();
}

// The real outputs beside the source tree: their sticks, on the file's own
// axis and units, are the positions and intensities as printed.
TEST_F(RunBatchTest, TheSamplesSticksAreThePrintedDecimals) {
  const std::string samples = BROADEN_QC_SAMPLES;
  if (!fs::exists(samples + "/gaussian09-dvb-ir.out")) GTEST_SKIP() << "no samples at " << samples;
  const std::string ir = samples + "/gaussian09-dvb-ir.out";
  ASSERT_EQ(run({"--fwhm", "10", "-o", "s.tsv", "--sticks", "-", "--quiet", ir}), 0) << err.str();
  const std::string sticks = out.str();
  // Every printed frequency and intensity appears as written (trailing zeros aside).
  std::ifstream file(ir);
  std::string line;
  std::vector<std::string> frequencies, intensities;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string word, second;
    words >> word >> second;
    std::vector<std::string>* into = word == "Frequencies" ? &frequencies
                                     : word == "IR"        ? &intensities
                                                           : nullptr;
    if (into == nullptr) continue;
    while (words >> word) {
      if (word == "---" || word == "--") continue;
      while (word.find('.') != std::string::npos && (word.back() == '0' || word.back() == '.'))
        word.pop_back();
      into->push_back(word.empty() ? "0" : word);
    }
  }
  // The file prints its analysis twice (the optimisation's and the last): the last is read.
  ASSERT_GE(frequencies.size(), 54u);
  ASSERT_EQ(frequencies.size(), intensities.size());
  frequencies.erase(frequencies.begin(), frequencies.end() - 54);
  intensities.erase(intensities.begin(), intensities.end() - 54);
  std::istringstream lines(sticks);
  std::getline(lines, line);  // the header
  for (std::size_t k = 0; k < frequencies.size(); ++k) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, frequencies[k] + "\t" + intensities[k]);
  }
}

// A European spreadsheet's export: told apart from three fields only when
// the user names the form; until then refused with the options to give.
TEST_F(RunBatchTest, DecimalCommasAreReadWhenNamedAndRefusedWhenAmbiguous) {
  const std::string lines = "1000,5;10\n1001,25;5\n";
  const std::vector<std::string> grid{"--fwhm", "1",      "--from", "1000",     "--to",
                                      "1002",   "--step", "0.25",   "--format", "csv"};
  EXPECT_EQ(run(grid, lines), 1);
  EXPECT_EQ(err.str().rfind("broaden-batch: standard input:1:5: expected ", 0), 0) << err.str();
  EXPECT_NE(err.str().find("--decimal-comma"), std::string::npos);
  EXPECT_EQ(out.str(), "");

  std::vector<std::string> told = grid;
  told.push_back("--decimal-comma");
  ASSERT_EQ(run(told, lines), 0) << err.str();
  const std::string comma = out.str();
  ASSERT_EQ(run(grid, "1000.5 10\n1001.25 5\n"), 0) << err.str();
  EXPECT_EQ(comma, out.str());
  told.insert(told.end(), {"--delimiter", "semicolon"});
  ASSERT_EQ(run(told, lines), 0) << err.str();
  EXPECT_EQ(comma, out.str());
}

// A stream buffer whose writes fail with `error`, as a closed pipe's do.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(int error) : error_(error) {}

 protected:
  int_type overflow(int_type) override {
    errno = error_;
    return traits_type::eof();
  }
  std::streamsize xsputn(const char*, std::streamsize) override {
    errno = error_;
    return 0;
  }

 private:
  int error_;
};

// A closed standard output ends the run quietly with the status of SIGPIPE;
// any other failure to write is still told.
TEST_F(RunBatchTest, AClosedStandardOutputEndsQuietlyOtherFailuresAreTold) {
  const char* const spectrum[] = {"broaden-batch", "--fwhm", "1"};
  const char* const help[] = {"broaden-batch", "--help"};
  for (const auto& [argv, count] :
       {std::pair{spectrum, 3}, std::pair{static_cast<const char* const*>(help), 2}}) {
    FailingBuffer closed(EPIPE), broken(EIO);
    std::ostream closed_out(&closed), broken_out(&broken);
    std::ostringstream closed_err, broken_err;
    folder.write(".in", "1000 2\n");
    const int in1 = ::open((folder / ".in").c_str(), O_RDONLY);
    const int in2 = ::open((folder / ".in").c_str(), O_RDONLY);
    EXPECT_EQ(run_batch(count, argv, in1, closed_out, closed_err, files_), kBatchOutputClosed);
    EXPECT_EQ(closed_err.str(), "");
    const int status = run_batch(count, argv, in2, broken_out, broken_err, files_);
    ::close(in1);
    ::close(in2);
    EXPECT_EQ(status, kBatchFailed);
    if (count == 3) {
      EXPECT_EQ(broken_err.str(), "broaden-batch: cannot write to standard output: " +
                                      std::string(std::strerror(EIO)) + "\n");
    }
  }
  EXPECT_EQ(kBatchOutputClosed, 128 + SIGPIPE);
}

}  // namespace
}  // namespace broaden
