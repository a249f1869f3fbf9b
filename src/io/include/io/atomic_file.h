// A file that appears under its name only once it is complete.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace broaden {

/// Writes to a temporary file in the folder of the final name and moves it
/// into place by commit(): link(2) when an existing file must not be
/// replaced (the link fails when anything holds the name, even a dangling
/// symbolic link), rename(2) when it may. Until commit() succeeds the final
/// name is untouched; on any failure, and when the object goes without a
/// commit, the temporary file is removed. The file gets the mode a new file
/// gets (0666 less the file-creation mask) and is synced before the move.
///
/// Failures come back as a message naming the file and the system's
/// reason, such as "'out.tsv' exists: give --force to replace it" or
/// "cannot write 'out.tsv': File too large".
class AtomicFile {
 public:
  /// Prepares `name`: refuses at once (nullptr and `error` set) when it
  /// exists and `replace` is false, or when no temporary file can be made
  /// beside it.
  static std::unique_ptr<AtomicFile> create(const std::string& name, bool replace,
                                            std::string& error);

  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Appends `bytes`; false (and `error` set) when the write fails, after
  /// which the file is dropped.
  bool write(std::string_view bytes, std::string& error);

  /// Syncs, closes and moves the file into place; false (and `error` set)
  /// when any of that fails, the temporary file then being removed.
  bool commit(std::string& error);

 private:
  AtomicFile(std::string name, std::string temporary, int fd, bool replace);
  void drop() noexcept;

  std::string name_;
  std::string temporary_;
  int fd_;
  bool replace_;
};

/// Installs handlers for SIGHUP, SIGINT and SIGTERM that remove the
/// temporary file of the AtomicFile being written (if any) before the
/// signal ends the process as it would have.
void remove_temporary_files_on_signals();

}  // namespace broaden
