#include "io/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

#include "io/atomic_file.h"
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

// Whether the process maps the folder's file `name` (as /proc/self/maps lists it).
bool mapped(const fs::path& file) {
  std::ifstream maps("/proc/self/maps");
  const std::string path = fs::canonical(file).string();
  for (std::string line; std::getline(maps, line);)
    if (line.size() >= path.size() &&
        line.compare(line.size() - path.size(), path.size(), path) == 0)
      return true;
  return false;
}

TEST_F(PosixFileSystemTest, ReadWholeGivesExactlyTheBytesOfFilesOfAnySize) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  // Bytes of every value, NUL among them, and no line end at the end.
  const auto bytes = [](std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7919 + i / 13) % 256);
    return text;
  };
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, page - 1, page, page + 1, 3 * page,
                                 300'001 * std::size_t{1}}) {
    SCOPED_TRACE(size);
    const std::string content = bytes(size);
    folder_.write("f", content);
    std::string reason;
    auto whole = files_.read_whole("f", reason);
    ASSERT_NE(whole, nullptr) << reason;
    EXPECT_EQ(whole->text(), content);
    EXPECT_TRUE(whole->unchanged());
    // A file with bytes is mapped, not copied, until the text goes.
    EXPECT_EQ(mapped(folder_ / "f"), size > 0);
    whole.reset();
    EXPECT_FALSE(mapped(folder_ / "f"));
  }
  // Through a link, and by a full name from the current folder.
  folder_.write("lines.txt", "1,2\n\0\n"s);
  fs::create_symlink("lines.txt", folder_ / "link");
  PosixFileSystem current;
  std::string reason;
  for (auto [files, name] :
       {std::pair{&files_, "link"s}, {&current, (folder_ / "lines.txt").string()}}) {
    const auto whole = files->read_whole(name, reason);
    ASSERT_NE(whole, nullptr) << reason;
    EXPECT_EQ(whole->text(), "1,2\n\0\n"s) << name;
  }
}

TEST_F(PosixFileSystemTest, ReadWholeReadsWhatCannotBeMappedFromItsDescriptor) {
  // A named pipe, with more than one read's worth written into it.
  ASSERT_EQ(::mkfifo((folder_ / "pipe").c_str(), 0600), 0);
  const std::string content = std::string(150'000, 'p') + "\0end"s;
  std::thread writer([&] { std::ofstream(folder_ / "pipe", std::ios::binary) << content; });
  std::string reason;
  auto whole = files_.read_whole("pipe", reason);
  writer.join();
  ASSERT_NE(whole, nullptr) << reason;
  EXPECT_EQ(whole->text(), content);
  EXPECT_TRUE(whole->unchanged());
  // A file whose size shows as 0 but which holds text, and a character device.
  PosixFileSystem current;
  whole = current.read_whole("/proc/self/status", reason);
  ASSERT_NE(whole, nullptr) << reason;
  EXPECT_EQ(whole->text().substr(0, 5), "Name:");
  EXPECT_EQ(whole->text().back(), '\n');
  whole = current.read_whole("/dev/null", reason);
  ASSERT_NE(whole, nullptr) << reason;
  EXPECT_EQ(whole->text(), "");
}

// Standard input redirected from a file is mapped from where it stands, and
// left at its end as a reader would leave it; a pipe is read; a folder fails.
TEST_F(PosixFileSystemTest, ADescriptorIsReadWholeFromItsOffset) {
  const std::string content = std::string(70'000, 'a') + "\0tail\n"s;
  folder_.write("in", content);
  for (const off_t from : {off_t{0}, off_t{5}, off_t{70'003}, off_t{70'006}, off_t{80'000}}) {
    SCOPED_TRACE(from);
    const int fd = ::openat(folder_fd_, "in", O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, from, SEEK_SET), from);
    auto whole = read_descriptor_whole(fd);
    const std::size_t skip = std::min(static_cast<std::size_t>(from), content.size());
    EXPECT_EQ(whole->text(), content.substr(skip));
    EXPECT_EQ(mapped(folder_ / "in"), skip < content.size());
    EXPECT_TRUE(whole->unchanged());
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(content.size()));
    whole.reset();
    EXPECT_FALSE(mapped(folder_ / "in"));
    // The descriptor stays the caller's.
    EXPECT_EQ(::fcntl(fd, F_GETFD), 0);
    ::close(fd);
  }
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::write(ends[1], "1000 1\n", 7), 7);
  ::close(ends[1]);
  EXPECT_EQ(read_descriptor_whole(ends[0])->text(), "1000 1\n");
  ::close(ends[0]);
  try {
    read_descriptor_whole(folder_fd_);
    ADD_FAILURE() << "a folder was read";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), EISDIR);
  }
  EXPECT_THROW(read_descriptor_whole(-1), std::system_error);
}

TEST_F(PosixFileSystemTest, ReadWholeFailsAsOpenExistingDoesAndNeverCutsAReadShort) {
  folder_.write("file", "x");
  fs::create_directory(folder_ / "sub");
  fs::create_symlink("sub", folder_ / "to_sub");
  folder_.write("secret", "x");
  fs::permissions(folder_ / "secret", fs::perms::none);
  const struct {
    std::string name, reason;
  } cases[] = {
      {"sub", "Is a directory"},
      {"to_sub", "Is a directory"},
      {"missing", "No such file or directory"},
      {"file/x", "Not a directory"},
      {"file\0"s, "the name holds a NUL byte"},
      // The owner's permissions bind all but the superuser.
      {"secret", ::geteuid() == 0 ? "-" : "Permission denied"},
  };
  for (const auto& c : cases) {
    if (c.reason == "-") continue;
    std::string reason;
    EXPECT_EQ(files_.read_whole(c.name, reason), nullptr) << c.name;
    EXPECT_EQ(reason, c.reason) << c.name;
  }
  // Reading the process's own memory from address 0 fails at once: the
  // failure is thrown, not taken for the end of the file.
  PosixFileSystem current;
  std::string reason;
  try {
    current.read_whole("/proc/self/mem", reason);
    ADD_FAILURE() << "the failed read was not reported";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), EIO);
  }
}

// Sets the modification time of `file` a second on.
void later(const fs::path& file) {
  struct stat info {};
  ::stat(file.c_str(), &info);
  const timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec + 1, 0}};
  ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

TEST_F(PosixFileSystemTest, AMappedFileChangedMeanwhileIsToldAndOneCutShortEndsTheProcess) {
  const std::string content(10'000, 'a');
  std::string reason;
  const struct {
    const char* change;
    void (*make)(const fs::path&);
    bool unchanged;
  } cases[] = {
      // Appended to, as an output still being written: the bytes shown stay.
      {"append", [](const fs::path& f) { std::ofstream(f, std::ios::app) << 'b', later(f); }, true},
      {"rewrite a byte",
       [](const fs::path& f) { std::fstream(f, std::ios::in | std::ios::out) << 'b', later(f); },
       false},
      {"touch", [](const fs::path& f) { later(f); }, false},
      {"cut short", [](const fs::path& f) { fs::resize_file(f, 5000); }, false},
  };
  for (const auto& c : cases) {
    folder_.write("f", content);
    const auto whole = files_.read_whole("f", reason);
    ASSERT_NE(whole, nullptr) << reason;
    EXPECT_TRUE(whole->unchanged());
    c.make(folder_ / "f");
    EXPECT_EQ(whole->unchanged(), c.unchanged) << c.change;
  }
  // Reading beyond the new end of a file cut short raises SIGBUS: the
  // process ends rather than read bytes that are not there.
  folder_.write("f", content);
  EXPECT_DEATH(
      {
        const auto whole = files_.read_whole("f", reason);
        ::truncate((folder_ / "f").c_str(), 0);
        std::size_t sum = 0;
        for (const char c : whole->text()) sum += static_cast<unsigned char>(c);
        std::printf("%zu\n", sum);
      },
      "");
}

// A file system with only open_existing: read_whole reads its stream.
class StreamFileSystem : public FileSystem {
 public:
  // A stream buffer that gives "abc" and then fails.
  struct FailingBuffer : std::streambuf {
    int_type underflow() override {
      if (gave_) throw std::system_error(EIO, std::generic_category());
      gave_ = true;
      setg(text_, text_, text_ + 3);
      return 'a';
    }
    char text_[4] = "abc";
    bool gave_ = false;
  };
  struct FailingStream : std::istream {
    FailingStream() : std::istream(&buffer_) {}
    FailingBuffer buffer_;
  };
  std::unique_ptr<std::istream> open_existing(const std::string& name,
                                              std::string& reason) override {
    if (name == "failing") return std::make_unique<FailingStream>();
    if (name == "big")
      return std::make_unique<std::istringstream>(std::string(200'000, 'z') + "\0"s);
    reason = "not here";
    return nullptr;
  }
  std::unique_ptr<OutputFile> create_new(const std::string&, std::string&) override {
    return nullptr;
  }
};

TEST(FileSystemTest, ReadWholeByDefaultReadsTheStreamAndPassesItsFailuresOn) {
  StreamFileSystem files;
  std::string reason;
  const auto big = files.read_whole("big", reason);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->text(), std::string(200'000, 'z') + "\0"s);
  EXPECT_TRUE(big->unchanged());
  EXPECT_EQ(files.read_whole("missing", reason), nullptr);
  EXPECT_EQ(reason, "not here");
  EXPECT_THROW(files.read_whole("failing", reason), std::system_error);
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
    // Identities: of what is there, the link's own or what it points to.
    EXPECT_EQ(files_.identity_of(c.name, false).has_value(), c.link_itself != NameKind::absent);
    EXPECT_EQ(files_.identity_of(c.name, true).has_value(), c.followed != NameKind::absent);
  }
  EXPECT_EQ(files_.identity_of("to_sub", true), files_.identity_of("sub/.", true));
  EXPECT_NE(files_.identity_of("to_sub", false), files_.identity_of("sub", false));

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

// An atomic file never moves over a file the same run wrote before, even
// when its name has come to stand for that file meanwhile.
TEST_F(PosixFileSystemTest, AnAtomicFileKeepsTheRunsOtherOutputs) {
  FileFailure failure;
  auto first = AtomicFile::create(files_, "a.tsv", false, ".t-", failure);
  auto second = AtomicFile::create(files_, "b.tsv", true, ".t-", failure);
  ASSERT_TRUE(first && second) << failure.message;
  ASSERT_TRUE(first->write("spectrum", failure) && first->commit(failure));
  ASSERT_TRUE(first->identity().has_value());
  EXPECT_EQ(first->identity(), files_.identity_of("a.tsv", false));
  fs::create_hard_link(folder_ / "a.tsv", folder_ / "b.tsv");  // b.tsv is a.tsv now
  ASSERT_TRUE(second->write("sticks", failure));
  const std::vector<FileIdentity> kept{*first->identity()};
  EXPECT_FALSE(second->commit(failure, kept));
  EXPECT_EQ(failure.message, "cannot replace 'b.tsv': it is another output of this run");
  EXPECT_EQ(folder_.read("a.tsv"), "spectrum");
  EXPECT_EQ(folder_.names(), (std::vector<std::string>{"a.tsv", "b.tsv"}));
}

}  // namespace
}  // namespace broaden
