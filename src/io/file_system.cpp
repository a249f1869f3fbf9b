#include "io/file_system.h"

namespace broaden {
namespace {

std::error_code not_supported() { return std::make_error_code(std::errc::operation_not_supported); }

}  // namespace

std::unique_ptr<FileText> FileSystem::read_whole(const std::string& name, std::string& reason) {
  const std::unique_ptr<std::istream> file = open_existing(name, reason);
  if (!file) return nullptr;
  std::string text;
  char buffer[1 << 16];
  for (std::streamsize got; (got = file->rdbuf()->sgetn(buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  return std::make_unique<HeldText>(std::move(text));
}

NameKind FileSystem::kind_of(const std::string&, bool) { return NameKind::absent; }

std::optional<FileIdentity> FileSystem::identity_of(const std::string&, bool) {
  return std::nullopt;
}

std::unique_ptr<OutputFile> FileSystem::create_temporary(const std::string&, std::string&,
                                                         std::string& reason) {
  reason = not_supported().message();
  return nullptr;
}

std::error_code FileSystem::link(const std::string&, const std::string&) { return not_supported(); }

std::error_code FileSystem::rename(const std::string&, const std::string&) {
  return not_supported();
}

std::error_code FileSystem::copy_permissions(const std::string&, const std::string&) {
  return not_supported();
}

void FileSystem::remove(const std::string&) noexcept {}

}  // namespace broaden
