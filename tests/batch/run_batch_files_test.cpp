// broaden-batch's output files, in-process: where the spectrum is written,
// what --force may and may not replace, faults of writing that leave
// nothing behind, messages that name files, a closed standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "support/batch_harness.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;
using RunBatchTest = testing::BatchTest;

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
  EXPECT_EQ(testing::rows_of(written), testing::rows_of(piped));
  EXPECT_NE(written.find(" input='lines.txt' lines=1\n"), std::string::npos) << written;
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"lines.txt", "out.tsv"}));
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

// A file system that shows at will what a real folder cannot be made to:
// its temporary files fill up after `room` bytes, its link finds the name
// taken when `taken` says so, and the name written is a device (no real
// device is ever touched) from look `device_after` on (never when negative:
// until then absent, or a regular file when a device is to come). Every
// step is logged.
class ScriptedFileSystem : public FileSystem {
 public:
  struct Script {
    std::size_t room = std::size_t(1) << 30;
    bool taken = false;
    int device_after = -1;
  };
  explicit ScriptedFileSystem(Script script) : script_(script), buffer_(written, script.room) {}

  std::unique_ptr<std::istream> open_existing(const std::string&, std::string&) override {
    return std::make_unique<std::istringstream>("1000 2\n");
  }
  std::unique_ptr<OutputFile> create_new(const std::string&, std::string& reason) override {
    reason = "not here";
    return nullptr;
  }
  NameKind kind_of(const std::string& name, bool follow_links) override {
    log += "kind " + name + (follow_links ? " followed\n" : "\n");
    if (script_.device_after < 0) return NameKind::absent;
    return looks_ >= script_.device_after ? NameKind::special : (++looks_, NameKind::other);
  }
  std::unique_ptr<OutputFile> create_temporary(const std::string& prefix, std::string& name,
                                               std::string&) override {
    name = prefix + "000000";
    log += "create " + name + "\n";
    return std::make_unique<File>(&buffer_);
  }
  std::error_code link(const std::string& from, const std::string& to) override {
    log += "link " + from + " " + to + "\n";
    return script_.taken ? std::make_error_code(std::errc::file_exists) : std::error_code();
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

  std::string written, log;

 private:
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
  Script script_;
  Buffer buffer_;
  int looks_ = 0;
};

TEST_F(RunBatchTest, FailedWritesAndANameTakenAtTheMoveLeaveNothingBehind) {
  ScriptedFileSystem full({.room = 1000});
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "out.tsv"}, "", {.files = &full}), 1);
  EXPECT_EQ(err.str(), "broaden-batch: cannot write 'out.tsv': No space left on device\n");
  EXPECT_EQ(full.log,
            "kind out.tsv\ncreate ./.broaden-batch-000000\nremove ./.broaden-batch-000000\n");
  EXPECT_EQ(full.written.size(), 1000u);

  ScriptedFileSystem taken({.taken = true});
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "dir/out.tsv"}, "", {.files = &taken}), 1);
  EXPECT_EQ(err.str(), "broaden-batch: 'dir/out.tsv' exists: give --force to replace it\n");
  EXPECT_EQ(taken.log,
            "kind dir/out.tsv\ncreate dir/.broaden-batch-000000\n"
            "link dir/.broaden-batch-000000 dir/out.tsv\n"
            "remove dir/.broaden-batch-000000\n");

  // A file system that only reads and creates cannot make a file whole.
  FileSystem& plain = taken;
  EXPECT_EQ(plain.FileSystem::rename("a", "b"), std::errc::operation_not_supported);
}

// What --force may replace: a regular file, a link to one, a dangling link
// (the link itself). A named pipe, a device, a socket, a folder, or a link
// to one of these is refused before any work, with --force or without (and
// then with the same reason, not a hint that --force would do), and left as
// it was; so is an existing name without --force. No temporary file stays.
TEST_F(RunBatchTest, ExistingNamesAreRefusedUnlessForceMayReplaceThem) {
  folder.write("lines.txt", "  100.0000    1.0000\n");
  folder.write("out.txt", "precious\n");
  fs::create_symlink("nowhere", folder / "link.txt");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", folder / "to_pipe");
  fs::create_directory(folder / "sub");
  fs::create_symlink("sub", folder / "to_sub");
  const std::string exists = " exists: give --force to replace it\n";
  const std::string special = "not a regular file (send standard output to it instead of -o)";
  const struct {
    std::string name, message;
  } cases[] = {
      {"out.txt", "'out.txt'" + exists},
      {"link.txt", "'link.txt'" + exists},
      {"pipe", "cannot replace 'pipe': " + special + "\n"},
      {"to_pipe", "cannot replace 'to_pipe': " + special + "\n"},
      {"sub", "cannot replace 'sub': Is a directory\n"},
      {"to_sub", "cannot replace 'to_sub': Is a directory\n"},
  };
  for (const auto& preset : {std::vector<std::string>{"--classic", "--sigma", "5", "lines.txt"},
                             std::vector<std::string>{"--fwhm", "1", "lines.txt"}}) {
    for (const auto& c : cases) {
      std::vector<std::string> arguments = preset;
      arguments.insert(arguments.end(), {"-o", c.name});
      EXPECT_EQ(run(arguments), 1) << c.name;
      EXPECT_EQ(err.str(), "broaden-batch: " + c.message);
      if (c.message.find(exists) != std::string::npos) continue;
      arguments.push_back("--force");
      EXPECT_EQ(run(arguments), 1) << c.name;
      EXPECT_EQ(err.str(), "broaden-batch: " + c.message);
    }
  }
  EXPECT_EQ(folder.read("out.txt"), "precious\n");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder / "pipe")));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "to_pipe")));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "to_sub")));
  ASSERT_EQ(run({"--classic", "--sigma", "5", "lines.txt", "-o", "link.txt", "--force"}), 0)
      << err.str();
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "link.txt")));  // replaced itself
  EXPECT_EQ(folder.read("link.txt").size(), 20000u * 28);
  EXPECT_FALSE(folder.exists("nowhere"));
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"lines.txt", "link.txt", "out.txt", "pipe",
                                                      "sub", "to_pipe", "to_sub"}));
}

TEST_F(RunBatchTest, ForceNeverRenamesOverADeviceNotEvenOneThatCameMeanwhile) {
  ScriptedFileSystem device({.device_after = 0});
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "dev/tty", "--force"}, "", {.files = &device}), 1);
  EXPECT_EQ(err.str(),
            "broaden-batch: cannot replace 'dev/tty': not a regular file (send standard output to "
            "it instead of -o)\n");
  EXPECT_EQ(device.log, "kind dev/tty followed\n");  // nothing made, nothing moved

  ScriptedFileSystem later({.device_after = 1});
  EXPECT_EQ(run({"--fwhm", "1", "in", "-o", "out", "--force"}, "", {.files = &later}), 1);
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
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--fwhm", "1"}, std::vector<std::string>{"--help"}}) {
    FailingBuffer closed(EPIPE), broken(EIO);
    std::ostream closed_out(&closed), broken_out(&broken);
    EXPECT_EQ(run(arguments, "1000 2\n", {.out = &closed_out}), kBatchOutputClosed);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(run(arguments, "1000 2\n", {.out = &broken_out}), kBatchFailed);
    if (arguments[0] != "--help") {
      EXPECT_EQ(err.str(), "broaden-batch: cannot write to standard output: " +
                               std::string(std::strerror(EIO)) + "\n");
    }
  }
  EXPECT_EQ(kBatchOutputClosed, 128 + SIGPIPE);
}

}  // namespace
}  // namespace broaden
