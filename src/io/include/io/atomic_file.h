// A file that appears under its name only once it is complete.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "io/file_system.h"

namespace broaden {

/// Why an AtomicFile failed: a message naming the file (quoted, control
/// characters escaped) and the system's reason, such as "cannot write
/// 'out.tsv': File too large". `exists` marks the one failure a caller may
/// want to explain, something already holding the name; its message is
/// then "'out.tsv' exists".
struct FileFailure {
  bool exists = false;
  std::string message;
  /// The name is a named pipe, a device or a socket ("cannot replace
  /// 'pipe': not a regular file"), which the caller may say how to reach.
  bool special = false;
};

/// Writes to a temporary file in the folder of the final name, made through
/// a FileSystem, and moves it into place by commit(): a link when an
/// existing file must not be replaced (which fails when anything holds the
/// name, even a dangling symbolic link), a rename when it may. Until
/// commit() succeeds the final name is untouched; on any failure, and when
/// the object goes without a commit, the temporary file is removed. A new
/// file gets the mode a new file gets (0666 less the file-creation mask); a
/// replaced file's permission bits are kept (given to the temporary file as
/// soon as it is made); owner and group are the writer's. The file is synced
/// before the move.
class AtomicFile {
 public:
  /// Prepares `name`, with a temporary file named `temporary_prefix` and six
  /// more characters beside it: refuses at once (nullptr, `failure` set)
  /// when the name is empty, when it exists and `replace` is false, when it
  /// is a folder, a named pipe, a device or a socket, or a symbolic link to
  /// one of these (links followed: a link is replaced itself only when it
  /// points to a regular file or nowhere), when no temporary file can be
  /// made or the old file's permissions not be given to it. commit()
  /// checks the name again before it renames.
  ///
  ///   create(files, "out.tsv", false, ".tmp-", failure) -> a file to write,
  ///     or {exists, "'out.tsv' exists"}
  ///   create(files, "pipe", true, ".tmp-", failure)  (a named pipe) -> nullptr,
  ///     {special, "cannot replace 'pipe': not a regular file"}
  ///     (with `replace` false too: such a name is never {exists}, which
  ///     replacing would mend)
  static std::unique_ptr<AtomicFile> create(FileSystem& files, const std::string& name,
                                            bool replace, std::string_view temporary_prefix,
                                            FileFailure& failure);

  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Appends `bytes`; false (and `failure` set) when the write fails, after
  /// which the file is dropped. Writes may be buffered: a failure may show
  /// only at a later write or at commit().
  bool write(std::string_view bytes, FileFailure& failure);

  /// Syncs, closes and moves the file into place; false (and `failure` set)
  /// when any of that fails, the temporary file then being removed. Just
  /// before the move, a name that now stands for one of the files `kept`
  /// (another output of the same run, reached through a link or a folder
  /// swapped meanwhile) is refused rather than replaced:
  ///   "cannot replace 'NAME': it is another output of this run"
  bool commit(FileFailure& failure, std::span<const FileIdentity> kept = {});

  /// The identity of the file written, which commit() puts under the name;
  /// none where the file system cannot tell.
  const std::optional<FileIdentity>& identity() const noexcept { return identity_; }

 private:
  AtomicFile(FileSystem& files, std::string name, std::string temporary,
             std::unique_ptr<OutputFile> file, bool replace);
  void drop() noexcept;
  bool fail(FileFailure& failure, std::string message);

  FileSystem& files_;
  std::string name_;
  std::string temporary_;
  std::unique_ptr<OutputFile> file_;
  bool replace_;
  std::optional<FileIdentity> identity_;
};

}  // namespace broaden
