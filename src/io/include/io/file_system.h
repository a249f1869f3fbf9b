// The file-system seam: how the line-list file is opened and the spectrum
// file created. The run talks only to this interface, so a whole dialogue
// can run in-process against any folder.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>

namespace broaden {

/// A file being written. Its close() writes out what is buffered and closes
/// the file, throwing std::system_error when either fails; a file destroyed
/// without close() is closed quietly.
class OutputFile : public std::ostream {
 public:
  using std::ostream::ostream;
  virtual void close() = 0;
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

  /// Creates the new, empty file `name` for writing, readable and writable
  /// by all less the file-creation mask. Fails (nullptr, `reason` set) when
  /// anything of that name exists, a symbolic link included, dangling or
  /// not: an existing file is never opened, truncated or followed.
  ///
  /// A write error later makes the stream throw std::system_error.
  virtual std::unique_ptr<OutputFile> create_new(const std::string& name, std::string& reason) = 0;
};

}  // namespace broaden
