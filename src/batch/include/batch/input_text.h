// What an input's bytes are, before any format is recognised: text, read as
// it is; a gzip, whose content is inflated into memory and read as text; or
// anything else, refused for what it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace broaden {

/// The text of the input `name` (for messages; "-" is standard input) whose
/// bytes are `bytes`: none where the bytes are text themselves (a UTF-8
/// byte-order mark included: the recognition and the readers step over
/// it), or the content of a gzip (RFC 1952; several members one after
/// another as one text, zeros padding its end skipped) inflated whole. Memory: the content is
/// inflated into a string reserved at the size the gzip's last member announces (its size modulo
/// 2^32, taken where the ratio to the compressed bytes is one deflate can reach), grown by doubling
/// past it; the caller drops the compressed bytes once this returns, so that only the text is held
/// while it is read.
///
/// Throws BatchFailure (status 1, batch.h), the message naming the input
/// and what it is, never showing its bytes:
///   a NUL byte in the first 1024 bytes, or the mark of a known binary
///   format at the start (an executable, an archive, another compression,
///   UTF-16 or UTF-32 text, a picture, a PDF), in the gzip's content too:
///     "'x.bin' is not text: it holds a NUL byte (byte 17) ..."
///     "'x.zip' is not text: it is a zip archive ..."
///   a gzip whose content is corrupt or cut short:
///     "'x.gz' is a gzip whose content is corrupt (incorrect data check)"
///
///   decoded_input("1000 2\n", "a.txt")        -> none
///   decoded_input(gzip of "1000 2\n", "a.gz") -> "1000 2\n"
std::optional<std::string> decoded_input(std::string_view bytes, const std::string& name);

}  // namespace broaden
