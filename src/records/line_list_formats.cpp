#include "records/line_list_formats.h"

#include <algorithm>
#include <array>

#include "records/columns_reader.h"
#include "records/jcamp_reader.h"
#include "records/line_list.h"

namespace broaden {

// The readers and recognisers without a header of their own, each defined in
// its NAME_reader.cpp, are declared here, beside their rows:
//   LineListRead read_NAME(std::string_view text, const LineListOptions& options);
//   SpectraRead read_NAME(std::string_view text);
//   bool recognises_NAME(std::string_view text) noexcept;
SpectraRead read_gaussian(std::string_view text);
bool recognises_gaussian(std::string_view text) noexcept;
SpectraRead read_orca(std::string_view text);
bool recognises_orca(std::string_view text) noexcept;
SpectraRead read_molden(std::string_view text);
bool recognises_molden(std::string_view text) noexcept;
SpectraRead read_cjson(std::string_view text);
bool recognises_cjson(std::string_view text) noexcept;
SpectraRead read_turbomole(std::string_view text);
bool recognises_turbomole(std::string_view text) noexcept;
SpectraRead read_vibspectrum(std::string_view text);
bool recognises_vibspectrum(std::string_view text) noexcept;
SpectraRead read_xtb(std::string_view text);
bool recognises_xtb(std::string_view text) noexcept;
SpectraRead read_psi4(std::string_view text);
bool recognises_psi4(std::string_view text) noexcept;
SpectraRead read_qchem(std::string_view text);
bool recognises_qchem(std::string_view text) noexcept;
SpectraRead read_gamess(std::string_view text);
bool recognises_gamess(std::string_view text) noexcept;
SpectraRead read_nwchem(std::string_view text);
bool recognises_nwchem(std::string_view text) noexcept;

namespace {

// Every format, in the order --input lists them; a new row goes at the end.
constexpr LineListFormat kFormats[] = {
    {"columns", "columns", nullptr, read_columns, nullptr},
    {"fixed", "fixed (the classic records)", nullptr, read_fixed_records, nullptr},
    {"gaussian", "gaussian (a Gaussian output)", recognises_gaussian, nullptr, read_gaussian},
    {"orca", "orca (an ORCA output)", recognises_orca, nullptr, read_orca},
    {"molden", "molden (a Molden file's [FREQ] and [INT])", recognises_molden, nullptr,
     read_molden},
    {"cjson", "cjson (Chemical JSON)", recognises_cjson, nullptr, read_cjson},
    {"turbomole", "turbomole (a Turbomole escf, ricc2 or aoforce output)", recognises_turbomole,
     nullptr, read_turbomole},
    {"vibspectrum", "vibspectrum (Turbomole's and xtb's $vibrational spectrum)",
     recognises_vibspectrum, nullptr, read_vibspectrum},
    {"xtb", "xtb (an xtb output)", recognises_xtb, nullptr, read_xtb},
    {"psi4", "psi4 (a Psi4 output)", recognises_psi4, nullptr, read_psi4},
    {"qchem", "qchem (a Q-Chem output)", recognises_qchem, nullptr, read_qchem},
    {"gamess", "gamess (a GAMESS-US or Firefly output)", recognises_gamess, nullptr, read_gamess},
    {"nwchem", "nwchem (an NWChem output)", recognises_nwchem, nullptr, read_nwchem},
    {"jcamp", "jcamp (a JCAMP-DX peak table)", recognises_jcamp, read_jcamp_peaks, nullptr},
};

// The line lists: the rows with a `read`, in the table's order. Made when
// first asked for, not as a constant: a function's address compared with
// null is no constant expression in a sanitized build.
struct LineLists {
  std::array<LineListFormat, std::size(kFormats)> rows{};
  std::size_t count = 0;
};
const LineLists& line_lists() noexcept {
  static const LineLists lists = [] {
    LineLists made;
    for (const LineListFormat& format : kFormats)
      if (format.read != nullptr) made.rows[made.count++] = format;
    return made;
  }();
  return lists;
}

const LineListFormat* find_in(std::span<const LineListFormat> rows, std::string_view name) {
  const auto row = std::find_if(rows.begin(), rows.end(),
                                [&](const LineListFormat& format) { return format.name == name; });
  return row == rows.end() ? nullptr : &*row;
}

const LineListFormat& recognise_in(std::span<const LineListFormat> rows, std::string_view text) {
  text = past_byte_order_mark(text);
  for (const LineListFormat& format : rows)
    if (format.recognises != nullptr && format.recognises(text)) return format;
  return rows.front();  // the columns, the first row of either
}

}  // namespace

std::span<const LineListFormat> input_formats() noexcept { return kFormats; }

std::string_view past_byte_order_mark(std::string_view text) noexcept {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  return text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size()) : text;
}

std::span<const LineListFormat> line_list_formats() noexcept {
  const LineLists& lists = line_lists();
  return std::span<const LineListFormat>(lists.rows.data(), lists.count);
}

const LineListFormat* find_line_list_format(std::string_view name) noexcept {
  return find_in(line_list_formats(), name);
}

const LineListFormat* find_input_format(std::string_view name) noexcept {
  return find_in(input_formats(), name);
}

const LineListFormat& recognise_line_list(std::string_view text) noexcept {
  return recognise_in(line_list_formats(), text);
}

const LineListFormat& recognise_input(std::string_view text) noexcept {
  return recognise_in(input_formats(), text);
}

}  // namespace broaden
