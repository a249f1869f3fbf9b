#include "io/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "text/quoted.h"

namespace broaden {
namespace {

// The longest path the system takes, its terminating NUL included.
constexpr std::size_t kLongestPath = 4096;

std::string folder_of(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

std::string reason_of(const std::system_error& error) { return error.code().message(); }

// Why what `name` stands for (links followed) is never replaced, or nothing:
// a folder, and a named pipe or device, which a rename would take from
// whoever reads or writes it (a device node as root).
std::string unreplaceable(NameKind kind, const std::string& name) {
  if (kind == NameKind::folder)
    return "cannot replace " + quoted(name) + ": " + std::strerror(EISDIR);
  if (kind == NameKind::special) return "cannot replace " + quoted(name) + ": not a regular file";
  return {};
}

}  // namespace

std::unique_ptr<AtomicFile> AtomicFile::create(FileSystem& files, const std::string& name,
                                               bool replace, std::string_view temporary_prefix,
                                               FileFailure& failure) {
  failure = {};
  if (name.empty()) {
    failure.message = "the output name is empty";
    return nullptr;
  }
  if (!replace && files.kind_of(name, false) != NameKind::absent) {
    // A folder or a device could not be replaced even if asked: say so,
    // rather than suggest asking.
    if (const NameKind kind = files.kind_of(name, true);
        kind == NameKind::folder || kind == NameKind::special) {
      failure = FileFailure{false, unreplaceable(kind, name), kind == NameKind::special};
      return nullptr;
    }
    failure = FileFailure{true, quoted(name) + " exists"};
    return nullptr;
  }
  const NameKind replaced = replace ? files.kind_of(name, true) : NameKind::absent;
  if (replaced == NameKind::folder || replaced == NameKind::special) {
    failure = FileFailure{false, unreplaceable(replaced, name), replaced == NameKind::special};
    return nullptr;
  }
  const std::string prefix = folder_of(name) + "/" + std::string(temporary_prefix);
  if (prefix.size() + 6 >= kLongestPath) {
    failure.message = "the output name " + quoted(name) + " is too long";
    return nullptr;
  }
  std::string temporary, reason;
  std::unique_ptr<OutputFile> file = files.create_temporary(prefix, temporary, reason);
  if (!file) {
    failure.message = "cannot create a file beside " + quoted(name) + ": " + reason;
    return nullptr;
  }
  // The file to be replaced lends its permission bits at once, so that the
  // text of a private file is never readable by more while it is written.
  if (replaced == NameKind::other) {
    const std::error_code error = files.copy_permissions(name, temporary);
    if (error && error != std::errc::no_such_file_or_directory) {
      file.reset();
      files.remove(temporary);
      failure.message =
          "cannot give the new " + quoted(name) + " the old one's permissions: " + error.message();
      return nullptr;
    }
  }
  return std::unique_ptr<AtomicFile>(
      new AtomicFile(files, name, std::move(temporary), std::move(file), replace));
}

AtomicFile::AtomicFile(FileSystem& files, std::string name, std::string temporary,
                       std::unique_ptr<OutputFile> file, bool replace)
    : files_(files),
      name_(std::move(name)),
      temporary_(std::move(temporary)),
      file_(std::move(file)),
      replace_(replace),
      identity_(files_.identity_of(temporary_, false)) {}

AtomicFile::~AtomicFile() { drop(); }

void AtomicFile::drop() noexcept {
  file_.reset();  // closed quietly
  if (!temporary_.empty()) files_.remove(temporary_);
  temporary_.clear();
}

bool AtomicFile::fail(FileFailure& failure, std::string message) {
  failure = FileFailure{false, std::move(message)};
  drop();
  return false;
}

bool AtomicFile::write(std::string_view bytes, FileFailure& failure) {
  if (!file_) return fail(failure, "cannot write " + quoted(name_) + ": the file was dropped");
  try {
    file_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  } catch (const std::system_error& error) {
    return fail(failure, "cannot write " + quoted(name_) + ": " + reason_of(error));
  }
  if (!*file_) return fail(failure, "cannot write " + quoted(name_));
  return true;
}

bool AtomicFile::commit(FileFailure& failure, std::span<const FileIdentity> kept) {
  if (!file_) return fail(failure, "cannot write " + quoted(name_) + ": the file was dropped");
  try {
    file_->sync();
    file_->close();
  } catch (const std::system_error& error) {
    return fail(failure, "cannot write " + quoted(name_) + ": " + reason_of(error));
  }
  file_.reset();
  if (const std::optional<FileIdentity> there = files_.identity_of(name_, false);
      there && std::find(kept.begin(), kept.end(), *there) != kept.end())
    return fail(failure, "cannot replace " + quoted(name_) + ": it is another output of this run");
  if (replace_) {
    // Something other than a file may have taken the name meanwhile.
    if (const NameKind kind = files_.kind_of(name_, true);
        kind == NameKind::folder || kind == NameKind::special) {
      fail(failure, unreplaceable(kind, name_));
      failure.special = kind == NameKind::special;
      return false;
    }
    if (const std::error_code error = files_.rename(temporary_, name_))
      return fail(failure, "cannot replace " + quoted(name_) + ": " + error.message());
  } else {
    if (const std::error_code error = files_.link(temporary_, name_)) {
      if (error == std::errc::file_exists) {
        drop();
        failure = FileFailure{true, quoted(name_) + " exists"};
        return false;
      }
      return fail(failure, "cannot create " + quoted(name_) + ": " + error.message());
    }
    files_.remove(temporary_);
  }
  temporary_.clear();
  return true;
}

}  // namespace broaden
