#include "io/file_system.h"

namespace broaden {
namespace {

std::error_code not_supported() { return std::make_error_code(std::errc::operation_not_supported); }

}  // namespace

NameKind FileSystem::kind_of(const std::string&, bool) { return NameKind::absent; }

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
