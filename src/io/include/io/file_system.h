// The file-system seam: how the line-list file is opened or read whole, the
// spectrum file created, and a file made whole beside its name and moved
// into place. The runs talk only to this interface, so a whole run can go
// in-process against any folder.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace broaden {

/// A file being written. Its close() writes out what is buffered and closes
/// the file, throwing std::system_error when either fails; a file destroyed
/// without close() is closed quietly.
class OutputFile : public std::ostream {
 public:
  using std::ostream::ostream;
  virtual void close() = 0;
  /// Writes out what is buffered and has the system put it on its storage
  /// (fsync(2)), throwing std::system_error when either fails. A file with
  /// no storage beneath it (a test's) only flushes.
  virtual void sync() { flush(); }
};

/// The whole content of a file, as read_whole gives it: its bytes, NUL bytes
/// and all, valid for as long as this object lives (a view into the file's
/// pages where it is mapped, else into memory this object owns).
class FileText {
 public:
  virtual ~FileText() = default;
  virtual std::string_view text() const = 0;
  /// Whether the bytes text() showed are still the file's: false when
  /// another process has since made the file shorter, or changed its
  /// modification time without making it longer (a rewrite in place), so
  /// that text() may have been a mix of old and new bytes. A file that only
  /// grew (an output still being written) keeps the bytes shown, and is
  /// taken as unchanged, as a plain read of it would have been. Text held
  /// in memory with no file beneath it is always unchanged.
  ///
  ///   read_whole("a.out"); another process appends to a.out    -> true
  ///   read_whole("a.out"); another process rewrites a byte      -> false
  ///   read_whole("a.out"); another process truncates a.out      -> false
  virtual bool unchanged() const { return true; }
};

/// Text held in memory (a pipe's, standard input's, a test's).
class HeldText final : public FileText {
 public:
  explicit HeldText(std::string text) : text_(std::move(text)) {}
  std::string_view text() const override { return text_; }

 private:
  std::string text_;
};

/// What a name stands for, as far as putting a file under it goes.
enum class NameKind {
  absent,  ///< nothing, or nothing that can be looked up (a missing folder on the way)
  folder,
  other,    ///< a regular file, or a symbolic link (when links are not followed)
  special,  ///< a named pipe, a device or a socket: never to be replaced by a file
};

/// A file's identity: two names with one identity are one file.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Opens the existing file `name` for sequential reading. On failure
  /// returns nullptr and sets `reason` to the system's words for it, such as
  /// "No such file or directory" or "Is a directory".
  ///
  /// A read error later makes the stream throw std::system_error.
  virtual std::unique_ptr<std::istream> open_existing(const std::string& name,
                                                      std::string& reason) = 0;

  /// The whole content of the existing file `name`, for readers over a
  /// string_view. Fails as open_existing does: nullptr, `reason` set to the
  /// system's words ("No such file or directory", "Is a directory",
  /// "Permission denied"). A read error throws std::system_error; what is
  /// returned is never cut short.
  ///
  ///   read_whole("dvb.out", reason)  -> text() "Entering Gaussian System..."
  ///   read_whole("empty", reason)    -> text() ""
  ///   read_whole("folder", reason)   -> nullptr, reason "Is a directory"
  ///
  /// This default reads open_existing's stream into memory; the system's
  /// implementation maps a regular file instead (see posix_file_system.h).
  virtual std::unique_ptr<FileText> read_whole(const std::string& name, std::string& reason);

  /// Creates the new, empty file `name` for writing, readable and writable
  /// by all less the file-creation mask. Fails (nullptr, `reason` set) when
  /// anything of that name exists, a symbolic link included, dangling or
  /// not: an existing file is never opened, truncated or followed.
  ///
  /// A write error later makes the stream throw std::system_error.
  virtual std::unique_ptr<OutputFile> create_new(const std::string& name, std::string& reason) = 0;

  // A file made whole beside its name (see AtomicFile). A file system that
  // only reads and creates, as a test's may, leaves these to the defaults,
  // which fail with operation_not_supported.

  /// What `name` is; `follow_links` looks through symbolic links (a
  /// dangling one is then absent), else a link is `other`.
  ///
  ///   kind_of("out.tsv", false) -> absent, before the file is made
  virtual NameKind kind_of(const std::string& name, bool follow_links);

  /// The identity of what `name` stands for (`follow_links` as kind_of's),
  /// or none where nothing can be looked up under it (or the file system
  /// cannot tell: the default).
  ///
  ///   identity_of(".", true) and identity_of("/abs/dir", true), run in /abs/dir -> equal
  virtual std::optional<FileIdentity> identity_of(const std::string& name, bool follow_links);

  /// Creates a new, empty file named `prefix` followed by six letters or
  /// digits chosen so that the name is new, as create_new would, and sets
  /// `name` to that name. Until it is renamed, linked and removed, or
  /// removed, it is the temporary file that the signal handlers of the
  /// system's implementation remove (see posix_file_system.h).
  ///
  ///   create_temporary("out/.tmp-", name, reason) -> name "out/.tmp-x3Fq9a"
  virtual std::unique_ptr<OutputFile> create_temporary(const std::string& prefix, std::string& name,
                                                       std::string& reason);

  /// Gives the file `from` the name `to` too (link(2)): fails, with
  /// std::errc::file_exists, when anything holds `to`, even a dangling
  /// symbolic link. Returns the system's error, or none.
  virtual std::error_code link(const std::string& from, const std::string& to);

  /// Moves `from` to `to` (rename(2)), replacing a file, or a symbolic link
  /// itself rather than what it points to, that holds `to`.
  virtual std::error_code rename(const std::string& from, const std::string& to);

  /// Gives the file `to` the permission bits (those of 0777) of the file
  /// `from`, links followed (stat(2), chmod(2)). Returns the system's error
  /// (no_such_file_or_directory when `from` is gone), or none.
  ///
  ///   copy_permissions("out.tsv", ".tmp-x3Fq9a") -> none; the temporary is 0600 as out.tsv
  virtual std::error_code copy_permissions(const std::string& from, const std::string& to);

  /// Removes the name `name` (unlink(2)); a failure is ignored.
  virtual void remove(const std::string& name) noexcept;
};

}  // namespace broaden
