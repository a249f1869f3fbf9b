// broaden-batch's whole run in-process, against a temporary folder through
// the file-system seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
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
    const std::string written = folder.read("out.tsv");
    EXPECT_EQ(written.substr(written.find('\n') + 1), "1\t0\n2\t0\n3\t0\n") << options[1];
    EXPECT_EQ(names(), (std::vector<std::string>{"empty.txt", "out.tsv"}));
    fs::remove(folder / "out.tsv");
  }
}

}  // namespace
}  // namespace broaden
