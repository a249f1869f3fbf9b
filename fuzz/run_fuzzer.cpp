// Fuzz target: a whole run in-process, over a fuzzed standard input and a
// fuzzed line-list file, with faults injected into the files and the
// console. Nothing touches the real file system: the files live in memory.
//
// The input is up to three parts joined by the line "%%":
//   standard input
//   %%
//   the line-list file "in.txt" (cut to 16 lines, to keep runs quick)
//   %%
//   faults: "read=N" fails a line-list read after N bytes, "in=N" a read of
//   standard input, "out=N" a spectrum file write, "con=N" a console write.
// Besides "in.txt" there are the file "keep.txt" and the folder "adir".
//
// For any input the run ends with status 0 or 2; standard error is empty or
// holds exactly one line "broaden: ..." of printable characters, exactly when
// the status is 2; every console line starts with a blank; the existing
// files stay as they were; a spectrum file is created only under a new name,
// only after all four prompts, and on status 0 it holds 20000 well-formed
// records on the grid; on "Error in input file" no spectrum file is made.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz_check.h"
#include "io/file_system.h"
#include "run/run.h"

namespace {

using namespace broaden;

constexpr std::size_t kMostLines = 16;
constexpr std::size_t kRecords = 20000;
constexpr std::size_t kRecordSize = 28;
constexpr std::string_view kSeparator = "\n%%\n";
constexpr std::size_t kNoFault = static_cast<std::size_t>(-1);

// Writes into a string; once `room` bytes are in, every write fails as a
// full device would: by throwing, as a spectrum file's buffer does, or by
// saying so, as the console's does.
class SinkBuffer : public std::streambuf {
 public:
  SinkBuffer(std::string& sink, std::size_t room, bool throws)
      : sink_(sink), room_(room), throws_(throws) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    const auto wanted = static_cast<std::size_t>(size);
    const std::size_t fits = std::min(wanted, room_ - std::min(room_, sink_.size()));
    sink_.append(data, fits);
    if (fits < wanted && throws_) throw std::system_error(ENOSPC, std::generic_category());
    return static_cast<std::streamsize>(fits);
  }

 private:
  std::string& sink_;
  std::size_t room_;
  bool throws_;
};

// Hands out `text`; past `room` bytes a read fails as a device would.
class SourceBuffer : public std::streambuf {
 public:
  SourceBuffer(std::string text, std::size_t room) : text_(std::move(text)) {
    const std::size_t given = std::min(room, text_.size());
    fails_ = room < text_.size();
    setg(text_.data(), text_.data(), text_.data() + given);
  }

 protected:
  int_type underflow() override {
    if (fails_) throw std::system_error(EIO, std::generic_category());
    return traits_type::eof();
  }

 private:
  std::string text_;
  bool fails_ = false;
};

class MemoryInput : public std::istream {
 public:
  MemoryInput(std::string text, std::size_t room)
      : std::istream(nullptr), buffer_(std::move(text), room) {
    rdbuf(&buffer_);
    exceptions(std::ios::badbit);
  }

 private:
  SourceBuffer buffer_;
};

class MemoryOutput : public OutputFile {
 public:
  MemoryOutput(std::string& sink, std::size_t room)
      : OutputFile(nullptr), buffer_(sink, room, true) {
    rdbuf(&buffer_);
    exceptions(std::ios::badbit);
  }
  void close() override { flush(); }

 private:
  SinkBuffer buffer_;
};

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::size_t read_room = kNoFault;
  std::size_t write_room = kNoFault;
  int created = 0;

  std::unique_ptr<std::istream> open_existing(const std::string& name,
                                              std::string& reason) override {
    if (name == "adir") {
      reason = "Is a directory";
      return nullptr;
    }
    const auto file = files.find(name);
    if (file == files.end()) {
      reason = "No such file or directory";
      return nullptr;
    }
    return std::make_unique<MemoryInput>(file->second, read_room);
  }

  std::unique_ptr<OutputFile> create_new(const std::string& name, std::string& reason) override {
    if (name.empty() || name.find('\0') != std::string::npos || name == "adir" ||
        files.contains(name)) {
      reason = "File exists";
      return nullptr;
    }
    ++created;
    return std::make_unique<MemoryOutput>(files[name], write_room);
  }
};

// The number after `key=` in the faults part, or kNoFault.
std::size_t fault(std::string_view faults, std::string_view key) {
  const std::size_t at = faults.find(key);
  if (at == std::string_view::npos) return kNoFault;
  std::size_t value = 0;
  for (std::size_t i = at + key.size(); i < faults.size() && faults[i] >= '0' && faults[i] <= '9';
       ++i)
    value = std::min<std::size_t>(value * 10 + static_cast<std::size_t>(faults[i] - '0'), 1u << 30);
  return value;
}

std::string_view next_part(std::string_view& rest) {
  const std::size_t at = rest.find(kSeparator);
  const std::string_view part = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + kSeparator.size());
  return part;
}

// The first 15 characters of every spectrum record: the abscissa and " , ".
const std::string& grid_column() {
  static const std::string column = [] {
    std::string text;
    for (std::size_t i = 1; i <= kRecords; ++i) {
      char field[32];
      std::snprintf(field, sizeof field, "%12.4f , ",
                    static_cast<double>(static_cast<float>(i) * 0.1f));
      text += field;
    }
    return text;
  }();
  return column;
}

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view answers = next_part(rest);
  std::string_view lines = next_part(rest);
  const std::string_view faults = rest;
  std::size_t cut = 0;
  for (std::size_t n = 0; n < kMostLines && cut < lines.size(); ++n)
    cut = std::min(lines.find('\n', cut), lines.size() - 1) + 1;
  lines = lines.substr(0, cut);

  MemoryFileSystem files;
  files.files = {{"in.txt", std::string(lines)}, {"keep.txt", "precious\n"}};
  files.read_room = fault(faults, "read=");
  files.write_room = fault(faults, "out=");
  const auto before = files.files;

  SourceBuffer answers_buffer(std::string(answers), fault(faults, "in="));
  std::istream in(&answers_buffer);
  std::string console;
  SinkBuffer console_buffer(console, fault(faults, "con="), false);
  std::ostream out(&console_buffer);
  std::ostringstream err;
  const int status = run(in, out, err, files);

  FUZZ_CHECK(status == 0 || status == 2);
  const std::string diagnostic = err.str();
  FUZZ_CHECK(diagnostic.empty() == (status == 0));
  if (status == 2) {
    FUZZ_CHECK(diagnostic.rfind("broaden: ", 0) == 0 && diagnostic.back() == '\n');
    FUZZ_CHECK(std::none_of(diagnostic.begin(), diagnostic.end() - 1,
                            [](unsigned char c) { return c < 0x20 || c == 0x7f; }));
  }
  for (std::size_t at = 0; at < console.size(); ++at)
    if (at == 0 || console[at - 1] == '\n') FUZZ_CHECK(console[at] == ' ');

  FUZZ_CHECK(files.files.at("in.txt") == before.at("in.txt"));
  FUZZ_CHECK(files.files.at("keep.txt") == before.at("keep.txt"));
  FUZZ_CHECK(files.created <= 1 &&
             files.files.size() == before.size() + static_cast<std::size_t>(files.created));
  const bool all_prompts = console.find(" Enter Lorentzian Width: \n") != std::string::npos;
  FUZZ_CHECK(files.created == 0 || all_prompts);
  if (ends_with(console, " Error in input file\n") || ends_with(console, " Error in output file\n"))
    FUZZ_CHECK(status == 0 && files.created == 0);
  if (status == 0 && files.created == 0) {
    FUZZ_CHECK(ends_with(console, " Error in input file\n") ||
               ends_with(console, " Error in output file\n"));
  }

  for (const auto& [name, bytes] : files.files) {
    if (before.contains(name)) continue;
    FUZZ_CHECK(status == 2 || (bytes.size() == kRecords * kRecordSize &&
                               ends_with(console, " Enter Lorentzian Width: \n")));
    for (std::size_t i = 0; i + kRecordSize <= bytes.size(); i += kRecordSize) {
      FUZZ_CHECK(bytes.compare(i, 15, grid_column(), i / kRecordSize * 15, 15) == 0);
      FUZZ_CHECK(bytes[i + kRecordSize - 1] == '\n');
    }
  }
  return 0;
}
