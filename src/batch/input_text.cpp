#include "batch/input_text.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

#include "batch/batch.h"
#include "batch/input_lines.h"

namespace broaden {
namespace {

// The marks of formats that are not text, at the start of the bytes, and
// what each is. A gzip ("\x1f\x8b") is read, not refused.
struct Signature {
  std::string_view mark;
  std::string_view what;
};
using namespace std::string_view_literals;
constexpr Signature kSignatures[] = {
    {"\x7f"
     "ELF"sv,
     "is an ELF executable or library"},
    {"MZ\x90\0"sv, "is a Windows executable"},
    {"PK\x03\x04"sv, "is a zip archive (unpack it first)"},
    {"BZh"sv, "is bzip2-compressed data (decompress it first: bunzip2)"},
    {"\xfd"
     "7zXZ\0"sv,
     "is xz-compressed data (decompress it first: unxz)"},
    {"\x28\xb5\x2f\xfd"sv, "is zstd-compressed data (decompress it first: unzstd)"},
    {"7z\xbc\xaf\x27\x1c"sv, "is a 7z archive"},
    {"\x89PNG\r\n\x1a\n"sv, "is a PNG picture"},
    {"\xff\xd8\xff"sv, "is a JPEG picture"},
    {"GIF87a"sv, "is a GIF picture"},
    {"GIF89a"sv, "is a GIF picture"},
    {"%PDF-"sv, "is a PDF document"},
    {"\x89HDF\r\n\x1a\n"sv, "is an HDF5 file"},
    {"\xff\xfe\0\0"sv, "is UTF-32 text (save it as UTF-8)"},
    {"\0\0\xfe\xff"sv, "is UTF-32 text (save it as UTF-8)"},
    {"\xff\xfe"sv, "is UTF-16 text (save it as UTF-8)"},
    {"\xfe\xff"sv, "is UTF-16 text (save it as UTF-8)"},
};

// bzip2's "BZh" is followed by the block size and the block's mark.
bool matches(std::string_view bytes, const Signature& s) {
  if (!bytes.starts_with(s.mark)) return false;
  if (s.mark != "BZh") return true;
  return bytes.size() >= 10 && bytes[3] >= '1' && bytes[3] <= '9' && bytes.substr(4, 6) == "1AY&SY";
}

constexpr std::string_view kGzip = "\x1f\x8b";
constexpr std::size_t kNulWindow = 1024;
// Deflate gives at most about 1032 bytes for one.
constexpr std::uint64_t kMostInflated = 1032;

BatchFailure not_text(const std::string& name, std::string_view what, bool inside) {
  return BatchFailure{kBatchFailed, quoted_input(name) + " is not text: " +
                                        (inside ? "its gzip content " : "it ") + std::string(what)};
}

// Refuses bytes that are not text.
void check_text(std::string_view bytes, const std::string& name, bool inside) {
  for (const Signature& s : kSignatures)
    if (matches(bytes, s)) throw not_text(name, s.what, inside);
  const std::size_t nul = bytes.substr(0, kNulWindow).find('\0');
  if (nul != std::string_view::npos)
    throw not_text(name,
                   "holds a NUL byte (byte " + std::to_string(nul + 1) +
                       "): a binary file, or text in an encoding other than UTF-8 or ASCII",
                   inside);
}

BatchFailure corrupt(const std::string& name, const std::string& why) {
  return BatchFailure{kBatchFailed,
                      quoted_input(name) + " is a gzip whose content is corrupt (" + why + ")"};
}

// The size the last member announces, where deflate could reach it.
std::size_t announced_size(std::string_view bytes) {
  if (bytes.size() < 18) return 0;
  const auto* tail = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size() - 4);
  const std::uint64_t size = std::uint64_t{tail[0]} | std::uint64_t{tail[1]} << 8 |
                             std::uint64_t{tail[2]} << 16 | std::uint64_t{tail[3]} << 24;
  return size <= bytes.size() * kMostInflated ? static_cast<std::size_t>(size) : 0;
}

struct Inflater {
  z_stream stream{};
  Inflater() {
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&stream); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

std::string inflated(std::string_view bytes, const std::string& name) {
  std::string text;
  // One byte more than announced, so that the trailer is read with room
  // left and the string never grows where the size was right.
  text.reserve(announced_size(bytes) + 1);
  Inflater z;
  std::size_t left = bytes.size(), done = 0;
  for (;;) {
    if (text.size() == done) text.resize(std::max<std::size_t>(text.capacity(), 2 * done + 65536));
    const uInt chunk = static_cast<uInt>(std::min<std::size_t>(left, UINT_MAX));
    z.stream.next_in =
        reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data())) + (bytes.size() - left);
    z.stream.avail_in = chunk;
    z.stream.next_out = reinterpret_cast<Bytef*>(text.data() + done);
    z.stream.avail_out = static_cast<uInt>(std::min<std::size_t>(text.size() - done, UINT_MAX));
    const uInt out_before = z.stream.avail_out;
    const int status = inflate(&z.stream, Z_NO_FLUSH);
    left -= chunk - z.stream.avail_in;
    done += out_before - z.stream.avail_out;
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    if (status == Z_DATA_ERROR || status == Z_NEED_DICT)
      throw corrupt(name, z.stream.msg != nullptr ? z.stream.msg : "not deflate data");
    if (status == Z_STREAM_END) {
      // Another member may follow, or zeros (as a tape's blocks pad it, which
      // gzip itself skips); anything else after the end is refused.
      const std::string_view rest = bytes.substr(bytes.size() - left);
      if (rest.find_first_not_of('\0') == std::string_view::npos) break;
      if (!rest.starts_with(kGzip)) throw corrupt(name, "bytes after its end");
      inflateReset(&z.stream);
      continue;
    }
    if (status == Z_BUF_ERROR && left == 0)
      throw corrupt(name, "it ends before its content does: the file is cut short");
  }
  text.resize(done);
  return text;
}

}  // namespace

std::optional<std::string> decoded_input(std::string_view bytes, const std::string& name) {
  if (!bytes.starts_with(kGzip)) {
    check_text(bytes, name, false);
    return std::nullopt;
  }
  std::string text = inflated(bytes, name);
  if (text.starts_with(kGzip)) throw not_text(name, "is gzip-compressed again", true);
  check_text(text, name, true);
  return text;
}

}  // namespace broaden
