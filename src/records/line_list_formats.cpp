#include "records/line_list_formats.h"

#include <algorithm>

#include "records/columns_reader.h"
#include "records/line_list.h"

namespace broaden {

// The readers and recognisers without a header of their own, each defined in
// its NAME_reader.cpp, are declared here, beside their rows:
//   LineListRead read_NAME(std::string_view text, const LineListOptions& options);
//   bool recognises_NAME(std::string_view text) noexcept;

namespace {

constexpr LineListFormat kFormats[] = {
    {"columns", "columns (default)", nullptr, read_columns},
    {"fixed", "fixed (the classic records)", nullptr, read_fixed_records},
};

}  // namespace

std::span<const LineListFormat> line_list_formats() noexcept { return kFormats; }

const LineListFormat* find_line_list_format(std::string_view name) noexcept {
  const auto* row = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [&](const LineListFormat& format) { return format.name == name; });
  return row == std::end(kFormats) ? nullptr : row;
}

const LineListFormat& recognise_line_list(std::string_view text) noexcept {
  for (const LineListFormat& format : kFormats)
    if (format.recognises != nullptr && format.recognises(text)) return format;
  return kFormats[0];
}

}  // namespace broaden
