// The file-system seam over POSIX file descriptors.
#pragma once

#include <fcntl.h>

#include "io/file_system.h"

namespace broaden {

/// Opens and creates files relative to a folder: the current one by default,
/// or the open folder `directory_fd` (which must outlive this object).
/// Names holding a NUL byte are refused, never cut short at it.
class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(int directory_fd = AT_FDCWD) : directory_fd_(directory_fd) {}

  std::unique_ptr<std::istream> open_existing(const std::string& name,
                                              std::string& reason) override;
  std::unique_ptr<OutputFile> create_new(const std::string& name, std::string& reason) override;

 private:
  int directory_fd_;
};

}  // namespace broaden
