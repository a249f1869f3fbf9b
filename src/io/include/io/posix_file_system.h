// The file-system seam over POSIX file descriptors.
#pragma once

#include <fcntl.h>

#include "io/file_system.h"

namespace broaden {

/// Opens and creates files relative to a folder: the current one by default,
/// or the open folder `directory_fd` (which must outlive this object).
/// Names holding a NUL byte are refused, never cut short at it.
///
/// read_whole maps a regular, non-empty file read-only (mmap(2),
/// MAP_PRIVATE, read ahead as for sequential reading): its pages are the
/// file's, shared with the system's cache and given back under memory
/// pressure, so the memory a run owns does not grow with the file. Anything
/// else, or a file that cannot be mapped, is read into memory from its
/// descriptor: a named pipe, a character device, /dev/stdin, a file of
/// /proc (whose size shows as 0), an empty file.
///
/// A mapped file is read where it lies, so what another process does to it
/// meanwhile shows through. FileText::unchanged() tells, from the size and
/// modification time, a file cut short or rewritten afterwards
/// (broaden-batch then fails rather than give a spectrum of mixed bytes). A file cut short while it
/// is mapped, or a disk failing under it, makes reading past its new end raise SIGBUS, which ends
/// the process (after remove_temporary_files_on_signals' handler has removed the temporary output):
/// the run fails loudly, never with a short or corrupted result.
///
/// One temporary file of the process at a time (the latest made by
/// create_temporary, until it is renamed or removed) is known to the
/// signal handlers of remove_temporary_files_on_signals.
/// The rest of the open descriptor `fd` (standard input, say), from its
/// offset to its end, as read_whole gives a file: mapped where `fd` is a
/// regular file with bytes left, else read from it. `fd` stays open and is
/// left at its end, as a reader of it would leave it. Throws
/// std::system_error on a failed read, and with EISDIR for a folder.
///
///   fd 0 redirected from dvb.out (`< dvb.out`) -> text() the whole file, mapped
///   fd 0 a pipe holding "1000 1\n"              -> text() "1000 1\n", read
std::unique_ptr<FileText> read_descriptor_whole(int fd);

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(int directory_fd = AT_FDCWD) : directory_fd_(directory_fd) {}

  std::unique_ptr<std::istream> open_existing(const std::string& name,
                                              std::string& reason) override;
  std::unique_ptr<FileText> read_whole(const std::string& name, std::string& reason) override;
  std::unique_ptr<OutputFile> create_new(const std::string& name, std::string& reason) override;

  NameKind kind_of(const std::string& name, bool follow_links) override;
  std::optional<FileIdentity> identity_of(const std::string& name, bool follow_links) override;
  std::unique_ptr<OutputFile> create_temporary(const std::string& prefix, std::string& name,
                                               std::string& reason) override;
  std::error_code link(const std::string& from, const std::string& to) override;
  std::error_code rename(const std::string& from, const std::string& to) override;
  std::error_code copy_permissions(const std::string& from, const std::string& to) override;
  void remove(const std::string& name) noexcept override;

 private:
  int directory_fd_;
};

/// Installs handlers for every signal whose default action ends the process
/// (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU,
/// SIGXFSZ, SIGVTALRM, SIGPROF, the real-time signals, and the signals of
/// faults such as SIGSEGV and SIGABRT), but not on those ignored when it is
/// called (a run under nohup, a SIGPIPE or SIGXFSZ the caller ignores): the
/// handler removes the temporary file being written (if any), then the
/// signal ends the process by its default action, so that the exit status
/// tells the signal.
void remove_temporary_files_on_signals();

}  // namespace broaden
