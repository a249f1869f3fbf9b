#include "io/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>

#include "support/temp_folder.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  PosixFileSystemTest() : folder_fd_(::open(folder_.path().c_str(), O_RDONLY | O_DIRECTORY)) {}
  ~PosixFileSystemTest() override { ::close(folder_fd_); }

  // Points every descriptor the process holds for `name` at a new one opened with `flags`.
  void replace_descriptor(const std::string& name, int flags) {
    const int replacement = ::open((folder_ / name).c_str(), flags);
    ASSERT_GE(replacement, 0);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      const int fd = std::stoi(entry.path().filename().string());
      if (fd != replacement && fs::equivalent(entry.path(), folder_ / name, ec)) {
        ASSERT_GE(::dup2(replacement, fd), 0);
      }
    }
    ::close(replacement);
  }

  testing::TempFolder folder_;
  int folder_fd_;
  PosixFileSystem files_{folder_fd_};
};

TEST_F(PosixFileSystemTest, OpenExistingReadsTheWholeFileAlsoThroughALinkOrAFullPath) {
  const std::string content = "  100.0000    2.5000\r\n" + std::string(200'000, 'z') + "\n1,2";
  folder_.write("lines.txt", content);
  fs::create_symlink("lines.txt", folder_ / "link");
  PosixFileSystem current;
  for (auto [files, name] : {std::pair{&files_, "lines.txt"s},
                             {&files_, "link"s},
                             {&current, (folder_ / "lines.txt").string()}}) {
    std::string reason;
    const auto in = files->open_existing(name, reason);
    ASSERT_NE(in, nullptr) << reason;
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(*in), {}), content) << name;
  }
}

TEST_F(PosixFileSystemTest, OpenExistingSaysWhyItFailsAndCreateNewRefusesAnyExistingName) {
  folder_.write("file", "keep me");
  fs::create_directory(folder_ / "sub");
  fs::create_symlink("nowhere", folder_ / "dangling");
  fs::create_symlink("file", folder_ / "to_file");
  const std::string kExists = "File exists", kNoEntry = "No such file or directory";
  const struct {
    std::string name, open_reason, create_reason;  // "*": any reason; "-": succeeds
  } cases[] = {
      {"sub", "Is a directory", kExists},
      {"dangling", kNoEntry, kExists},
      {"to_file", "-", kExists},
      {"file", "-", kExists},
      {"sub/missing/x", kNoEntry, kNoEntry},
      {"file/x", "Not a directory", "Not a directory"},
      {"", kNoEntry, kNoEntry},
      {"file\0"s, "*", "*"},
      {"new\0x"s, "*", "*"},
      {"missing", kNoEntry, "-"},
  };
  const auto check = [](const auto& stream, const std::string& reason, const std::string& want) {
    EXPECT_EQ(stream == nullptr, want != "-");
    if (want == "*") {
      EXPECT_FALSE(reason.empty());
    } else if (want != "-") {
      EXPECT_EQ(reason, want);
    }
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reason;
    check(files_.open_existing(c.name, reason), reason, c.open_reason);
    check(files_.create_new(c.name, reason), reason, c.create_reason);
  }
  EXPECT_EQ(folder_.read("file"), "keep me");
  EXPECT_FALSE(folder_.exists("nowhere"));
  EXPECT_FALSE(folder_.exists("new"));
  EXPECT_TRUE(fs::is_empty(folder_ / "sub"));
}

TEST_F(PosixFileSystemTest, CreateNewWritesWhatWasPutOnFlushAndOnDestruction) {
  const std::string record = "      0.1000 ,       0.0000\n", big(150'000, 'q');
  std::string reason;
  auto out = files_.create_new("out.txt", reason);
  ASSERT_NE(out, nullptr) << reason;
  EXPECT_EQ(folder_.read("out.txt"), "");
  *out << record << std::flush;
  EXPECT_EQ(folder_.read("out.txt"), record);
  *out << big;
  out.reset();
  EXPECT_EQ(folder_.read("out.txt"), record + big);
}

TEST_F(PosixFileSystemTest, CreateNewGivesReadWriteForAllLessTheCreationMask) {
  for (const mode_t mask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
    const mode_t previous = ::umask(mask);
    std::string reason;
    const std::string name = "mode" + std::to_string(mask);
    const bool created = files_.create_new(name, reason) != nullptr;
    ::umask(previous);
    ASSERT_TRUE(created) << reason;
    struct stat info {};
    ASSERT_EQ(::stat((folder_ / name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << name;
  }
}

TEST_F(PosixFileSystemTest, WriteErrorsThrowAndKeepWhatWasWrittenBefore) {
  std::string reason;
  auto out = files_.create_new("out.txt", reason);
  ASSERT_NE(out, nullptr) << reason;
  *out << "first\n" << std::flush;
  replace_descriptor("out.txt", O_RDONLY);
  *out << "second\n";
  try {
    out->flush();
    ADD_FAILURE() << "the failed write was not reported";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), EBADF);
  }
  EXPECT_EQ(folder_.read("out.txt"), "first\n");
}

TEST_F(PosixFileSystemTest, ReadErrorsThrowFromTheBufferBeyondWhatIsBuffered) {
  // Longer than the buffer, so that reading on needs the descriptor again.
  folder_.write("lines.txt", "1,2\n" + std::string(200'000, 'x') + "\n");
  std::string reason;
  auto in = files_.open_existing("lines.txt", reason);
  ASSERT_NE(in, nullptr) << reason;
  std::streambuf& buffer = *in->rdbuf();
  EXPECT_EQ(buffer.sbumpc(), '1');
  replace_descriptor("lines.txt", O_WRONLY);
  const auto read_to_end = [&buffer] {
    while (buffer.sbumpc() != std::streambuf::traits_type::eof()) {
    }
  };
  EXPECT_THROW(read_to_end(), std::system_error);
}

// The primitives a file made whole is built of.
TEST_F(PosixFileSystemTest, KindsOfNamesTemporaryFilesLinksAndRenames) {
  folder_.write("file", "old");
  fs::create_directory(folder_ / "sub");
  fs::create_symlink("nowhere", folder_ / "dangling");
  fs::create_symlink("sub", folder_ / "to_sub");
  ASSERT_EQ(::mkfifo((folder_ / "pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", folder_ / "to_pipe");
  const struct {
    std::string name;
    NameKind link_itself, followed;
  } kinds[] = {
      {"file", NameKind::other, NameKind::other},
      {"sub", NameKind::folder, NameKind::folder},
      {"dangling", NameKind::other, NameKind::absent},
      {"to_sub", NameKind::other, NameKind::folder},
      {"pipe", NameKind::special, NameKind::special},
      {"to_pipe", NameKind::other, NameKind::special},
      {"missing", NameKind::absent, NameKind::absent},
      {"missing/x", NameKind::absent, NameKind::absent},
      {"file\0"s, NameKind::absent, NameKind::absent},
  };
  for (const auto& c : kinds) {
    EXPECT_EQ(files_.kind_of(c.name, false), c.link_itself) << c.name;
    EXPECT_EQ(files_.kind_of(c.name, true), c.followed) << c.name;
  }

  std::string first, second, reason;
  auto a = files_.create_temporary("sub/.t-", first, reason);
  auto b = files_.create_temporary("sub/.t-", second, reason);
  ASSERT_TRUE(a && b) << reason;
  EXPECT_EQ(first.rfind("sub/.t-", 0), 0u);
  EXPECT_EQ(first.size(), 13u);
  EXPECT_NE(first, second);
  *a << "new";
  a->sync();
  a->close();
  std::string none;
  EXPECT_EQ(files_.create_temporary("missing/.t-", none, reason), nullptr);
  EXPECT_EQ(reason, "No such file or directory");

  // A link never replaces, not even a dangling symbolic link; a rename
  // replaces a link itself.
  EXPECT_EQ(files_.link(first, "dangling"), std::errc::file_exists);
  EXPECT_EQ(files_.link(first, "file"), std::errc::file_exists);
  EXPECT_FALSE(files_.rename(first, "dangling"));
  EXPECT_EQ(folder_.read("dangling"), "new");
  EXPECT_FALSE(fs::is_symlink(folder_ / "dangling"));
  EXPECT_FALSE(files_.link("file", "copy"));
  EXPECT_EQ(folder_.read("copy"), "old");
  files_.remove("copy");
  // Permission bits go from a file, or what a link points to, to another.
  fs::permissions(folder_ / "file", fs::perms(0640));
  fs::create_symlink("file", folder_ / "to_file");
  EXPECT_FALSE(files_.copy_permissions("to_file", second));
  EXPECT_EQ(fs::status(folder_ / second).permissions(), fs::perms(0640));
  EXPECT_EQ(files_.copy_permissions("missing", second), std::errc::no_such_file_or_directory);
  files_.remove(second);
  EXPECT_FALSE(folder_.exists("copy"));
  EXPECT_TRUE(fs::is_empty(folder_ / "sub"));
}

}  // namespace
}  // namespace broaden
