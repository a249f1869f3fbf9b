// How broaden-batch reads its input file whole: mapped, through a pipe, and
// what it says when the file fails or changes under it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "support/batch_harness.h"

namespace broaden {
namespace {

namespace fs = std::filesystem;

// The folder's files, but for names the test has made faulty: "failing"
// fails after its first bytes, "changing" has changed once read.
class FaultyInputs : public FileSystem {
 public:
  explicit FaultyInputs(PosixFileSystem& folder) : folder_(folder) {}

  struct FailingBuffer : std::streambuf {
    int_type underflow() override {
      if (gave_) throw std::system_error(EIO, std::generic_category());
      gave_ = true;
      setg(text_, text_, text_ + 7);
      return text_[0];
    }
    char text_[8] = "1000 2\n";
    bool gave_ = false;
  };
  struct FailingStream : std::istream {
    FailingStream() : std::istream(&buffer_) {}
    FailingBuffer buffer_;
  };
  struct ChangedText : FileText {
    std::string_view text() const override { return "1000 2\n"; }
    bool unchanged() const override { return false; }
  };

  std::unique_ptr<std::istream> open_existing(const std::string& name,
                                              std::string& reason) override {
    if (name == "failing") return std::make_unique<FailingStream>();
    return folder_.open_existing(name, reason);
  }
  std::unique_ptr<FileText> read_whole(const std::string& name, std::string& reason) override {
    if (name == "changing") return std::make_unique<ChangedText>();
    if (name == "failing") return FileSystem::read_whole(name, reason);
    return folder_.read_whole(name, reason);
  }
  std::unique_ptr<OutputFile> create_new(const std::string& name, std::string& reason) override {
    return folder_.create_new(name, reason);
  }
  NameKind kind_of(const std::string& name, bool follow_links) override {
    return folder_.kind_of(name, follow_links);
  }
  std::unique_ptr<OutputFile> create_temporary(const std::string& prefix, std::string& name,
                                               std::string& reason) override {
    return folder_.create_temporary(prefix, name, reason);
  }
  std::error_code link(const std::string& from, const std::string& to) override {
    return folder_.link(from, to);
  }
  void remove(const std::string& name) noexcept override { folder_.remove(name); }

 private:
  PosixFileSystem& folder_;
};

class InputFileTest : public testing::BatchTest {
 protected:
  int run(const std::vector<std::string>& arguments, FileSystem& through) {
    return BatchTest::run(arguments, "", {.files = &through});
  }
};

TEST_F(InputFileTest, AMappedFileAndTheSameLinesThroughAPipeGiveTheSameSpectrum) {
  // Lines past a page, the last without its line end.
  std::string lines;
  for (int i = 0; i < 700; ++i) lines += std::to_string(1000 + i) + " 2\n";
  lines += "1800 3";
  folder.write("lines.txt", lines);
  const std::vector<std::string> grid{"--fwhm", "4", "--from", "990", "--to", "1810"};
  std::vector<std::string> arguments = grid;
  arguments.push_back("lines.txt");
  ASSERT_EQ(run(arguments, files), 0) << err.str();
  const std::string mapped = out.str();
  EXPECT_NE(mapped.find(" lines=701\n"), std::string::npos);

  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(folder / "pipe", std::ios::binary) << lines; });
  arguments.back() = "pipe";
  const int status = run(arguments, files);
  writer.join();
  ASSERT_EQ(status, 0) << err.str();
  const std::string piped = out.str();
  EXPECT_EQ(testing::rows_of(piped), testing::rows_of(mapped));
}

TEST_F(InputFileTest, AFailedReadAndAFileChangedWhileReadEndTheRunAndLeaveNoOutput) {
  FaultyInputs faulty(files);
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"failing", "broaden-batch: cannot read 'failing': Input/output error\n"},
      {"changing", "broaden-batch: cannot read 'changing': the file changed while it was read\n"},
      {"sub", "broaden-batch: cannot open 'sub': Is a directory\n"},
  };
  fs::create_directory(folder / "sub");
  for (const auto& c : cases) {
    EXPECT_EQ(run({"--fwhm", "1", c.name, "-o", "out.tsv"}, faulty), 1) << c.name;
    EXPECT_EQ(err.str(), c.message);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"sub"});
  }
}

}  // namespace
}  // namespace broaden
