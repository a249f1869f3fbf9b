// The ORCA output, versions 4, 5 and 6: its IR, Raman, absorption and CD
// tables and its Gibbs free energy (the spectra reader contract of
// line_list_formats.h).
//
// A table starts at a line that is its title alone: "IR SPECTRUM", "RAMAN
// SPECTRUM", "ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS",
// "CD SPECTRUM" or "CD SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS"
// (the length form), "CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS".
// Lines of dashes and blank lines may follow; then the header line, an
// optional line of units, a line of dashes, and one row a mode or state up
// to a blank line or a line of dashes. Columns are found by their headers,
// not their places: a unit stands in the header after its name ("freq
// (cm**-1)") or on the units line under it (under its name's span). Which
// column is which:
//   freq (cm**-1)                          frequency, cm^-1
//   Int (km/mol)                           IR intensity; before version 5,
//                                          T**2 without a units line is it
//   Activity                               Raman activity (RAMAN SPECTRUM)
//   Energy (cm-1), Energy (eV), Wavelength (nm)   the state's position
//   fosc, fosc(D2)                         oscillator strength
//   R (1e40*cgs)                           rotatory strength
// A table whose header gives no such layout is refused, naming its header.
// A row's label is its first field ("6:", "1") or, under "Transition",
// "0-1A -> 1-1A" with any symmetry labels; then one number a column. A row
// "N E L spin forbidden ..." gives its positions and zero strengths.
// The last table of each kind is taken; the IR and Raman tables must list
// the same modes, the absorption and CD tables the same states.
// "Final Gibbs free energy ... G Eh" gives the free energy (hartree).
// A table the end of the file cuts, or a last line without its line end
// ends, is refused as cut short; so is a free energy on such a line.
//   " Mode   freq  eps  Int  T**2 ..." with "cm**-1 L/(mol*cm) km/mol a.u."
//     under it -> frequency from freq, IR intensity from Int
//   " Mode   freq  eps  Int  T**2 ..." with Int's unit left out
//     -> error {not_a_number, the header's line, 1, "a layout of this
//        table the reader knows, not the header '...'"}
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
namespace {

using namespace qc;

enum class Kind { ir, raman, absorption, cd_length, cd_velocity };
constexpr std::size_t kKinds = 5;

enum Role : std::size_t {
  frequency,
  ir_intensity,
  raman_activity,
  energy_ev,
  wavenumber,
  wavelength,
  oscillator,
  rotatory,
  kRoles
};

constexpr std::string_view kRoleNames[kRoles] = {
    "a frequency",       "an IR intensity", "a Raman activity",       "an energy in eV",
    "an energy in cm-1", "a wavelength",    "an oscillator strength", "a rotatory strength"};

struct Title {
  std::string_view text;
  Kind kind;
};
constexpr Title kTitles[] = {
    {"IR SPECTRUM", Kind::ir},
    {"RAMAN SPECTRUM", Kind::raman},
    {"ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS", Kind::absorption},
    {"CD SPECTRUM", Kind::cd_length},
    {"CD SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS", Kind::cd_length},
    {"CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS", Kind::cd_velocity},
};

constexpr std::string_view kGibbs = "Final Gibbs free energy";
constexpr std::size_t kTokens = 24;

// One column of a header: its name, its unit without parentheses, and the
// 1-based span [begin, end) of its name.
struct Column {
  std::string_view name;
  std::string_view unit;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// A table as read: the line of its title, each role's values (empty when the
// table has no such column) and its number of rows.
struct Table {
  std::size_t line = 0;
  std::array<std::vector<double>, kRoles> values;
  std::array<bool, kRoles> has{};
  std::size_t rows = 0;
  bool read = false;
};

std::string_view without_parentheses(std::string_view unit) {
  if (unit.size() >= 2 && unit.front() == '(' && unit.back() == ')')
    return unit.substr(1, unit.size() - 2);
  return unit;
}

class OrcaReader : SectionReader {
 public:
  explicit OrcaReader(std::string_view text) : SectionReader(text) {}

  SpectraRead read() {
    while (next()) {
      const std::string_view t = trimmed(line_.text);
      bool ok = true;
      if (t.substr(0, kGibbs.size()) == kGibbs) {
        ok = read_gibbs();
      } else if (!t.empty() && (t[0] == 'I' || t[0] == 'R' || t[0] == 'A' || t[0] == 'C')) {
        for (const Title& title : kTitles)
          if (t == title.text) {
            ok = read_table(title.kind);
            break;
          }
      }
      if (!ok) return failed();
    }
    if (!combine()) return failed();
    return std::move(result_);
  }

 private:
  // The header's columns, with the units line's units put under them.
  bool read_header(std::string_view header, const std::string_view* units,
                   std::vector<Column>& columns) {
    columns.clear();
    if (!split_tokens(header, tokens_, kTokens)) return false;
    for (const Token& token : tokens_) {
      if (token.text.front() == '(' && !columns.empty() && columns.back().unit.empty()) {
        columns.back().unit = without_parentheses(token.text);
        continue;
      }
      columns.push_back(Column{token.text, {}, token.column, token.column + token.text.size()});
    }
    if (units == nullptr) return true;
    if (!split_tokens(*units, tokens_, kTokens)) return false;
    for (const Token& token : tokens_) {
      const std::size_t begin = token.column;
      const std::size_t end = token.column + token.text.size();
      // Under the name it overlaps whose middle is nearest its own (a wide
      // unit may reach into the next name's span); a tie is no layout known.
      Column* under = nullptr;
      std::size_t nearest = 0;
      bool tie = false;
      for (Column& column : columns) {
        if (!(column.begin < end && begin < column.end)) continue;
        const std::size_t a = begin + end;
        const std::size_t b = column.begin + column.end;
        const std::size_t distance = a > b ? a - b : b - a;
        if (under == nullptr || distance < nearest) {
          under = &column;
          nearest = distance;
          tie = false;
        } else if (distance == nearest) {
          tie = true;
        }
      }
      if (under == nullptr || tie || !under->unit.empty()) return false;
      under->unit = without_parentheses(token.text);
    }
    return true;
  }

  // Which role each column has in a table of `kind` (kRoles: none), or
  // false when the layout is not one this reader knows.
  static bool roles_of(Kind kind, const std::vector<Column>& columns, bool units_line,
                       std::vector<std::size_t>& roles) {
    roles.assign(columns.size(), kRoles);
    std::array<bool, kRoles> seen{};
    bool has_int = false;
    for (const Column& column : columns)
      has_int = has_int || column.name == "Int" || column.name == "eps";
    for (std::size_t k = 1; k < columns.size(); ++k) {
      const Column& c = columns[k];
      std::size_t role = kRoles;
      const bool vibrational = kind == Kind::ir || kind == Kind::raman;
      if (vibrational && c.name == "freq" && c.unit == "cm**-1") {
        role = frequency;
      } else if (kind == Kind::ir && c.unit == "km/mol") {
        role = ir_intensity;
      } else if (kind == Kind::ir && c.name == "T**2" && c.unit.empty() && !units_line &&
                 !has_int) {
        role = ir_intensity;  // before version 5: the intensity in km/mol under T**2
      } else if (kind == Kind::raman && c.name == "Activity" && c.unit.empty()) {
        role = raman_activity;
      } else if (!vibrational && c.name == "Energy" && c.unit == "cm-1") {
        role = wavenumber;
      } else if (!vibrational && c.name == "Energy" && c.unit == "eV") {
        role = energy_ev;
      } else if (!vibrational && c.name == "Wavelength" && c.unit == "nm") {
        role = wavelength;
      } else if (kind == Kind::absorption && (c.name == "fosc" || c.name == "fosc(D2)")) {
        role = oscillator;
      } else if ((kind == Kind::cd_length || kind == Kind::cd_velocity) && c.name == "R" &&
                 c.unit == "1e40*cgs") {
        role = rotatory;
      }
      if (role == kRoles) continue;
      if (seen[role]) return false;
      seen[role] = true;
      roles[k] = role;
    }
    switch (kind) {
      case Kind::ir:
        return seen[frequency] && seen[ir_intensity];
      case Kind::raman:
        return seen[frequency] && seen[raman_activity];
      case Kind::absorption:
      case Kind::cd_length:
      case Kind::cd_velocity:
        return (seen[energy_ev] || seen[wavenumber] || seen[wavelength]) &&
               seen[kind == Kind::absorption ? oscillator : rotatory];
    }
    return false;
  }

  // How many of the row's first tokens are its label.
  static std::size_t label_size(std::string_view first_header, const std::vector<Token>& tokens) {
    if (first_header != "Transition") return 1;
    std::size_t k = 0;
    while (k < tokens.size() && tokens[k].text != "->") ++k;
    if (k + 1 >= tokens.size()) return tokens.size() + 1;  // no "->": not a row
    k += 2;
    while (k < tokens.size() &&
           scan_decimal(tokens[k].text, kOutputGrammar).error != DecimalError::none)
      ++k;
    return k;
  }

  bool read_table(Kind kind) {
    const std::size_t title = line_.number;
    const std::string what = "the table at line " + std::to_string(title);
    // Dashes and blank lines, then the header.
    do {
      if (!next_in_section()) return cut_short("the header of " + what);
    } while (is_blank_line(line_.text) || is_dash_line(line_.text));
    const Line header = line_;
    if (!next_in_section()) return cut_short("the rest of the header of " + what);
    std::optional<Line> units;
    if (!is_dash_line(line_.text)) {
      units = line_;
      if (!next_in_section()) return cut_short("a line of dashes under the header of " + what);
      if (!is_dash_line(line_.text))
        return fail(ReadFault::misplaced, 1, "a line of dashes under the header of " + what);
    }
    std::vector<Column> columns;
    std::vector<std::size_t> roles;
    if (!read_header(header.text, units ? &units->text : nullptr, columns) || columns.size() < 2 ||
        !roles_of(kind, columns, units.has_value(), roles)) {
      return fail(read_error(ReadFault::layout, header.number, 1,
                             "a layout of this table the reader knows, not the header " +
                                 quoted(trimmed(header.text), 100)));
    }
    const std::size_t numeric = columns.size() - 1;
    Table table;
    table.line = title;
    for (std::size_t k = 1; k < columns.size(); ++k)
      if (roles[k] != kRoles) table.has[roles[k]] = true;
    while (next_in_section()) {
      if (is_blank_line(line_.text) || is_dash_line(line_.text)) {
        if (table.rows == 0) return fail(ReadFault::misplaced, 1, "the rows of " + what);
        table.read = true;
        tables_[static_cast<std::size_t>(kind)] = std::move(table);
        return true;
      }
      if (!read_row(columns, roles, numeric, table)) return false;
      ++table.rows;
    }
    return cut_short("the rest of " + what);
  }

  bool read_row(const std::vector<Column>& columns, const std::vector<std::size_t>& roles,
                std::size_t numeric, Table& table) {
    const bool all = split_tokens(line_.text, tokens_, kTokens, "()");
    const std::size_t spin = line_.text.find("spin forbidden");
    std::size_t end = tokens_.size();
    if (spin != std::string_view::npos)
      end = static_cast<std::size_t>(
          std::find_if(tokens_.begin(), tokens_.end(),
                       [&](const Token& token) { return token.column > spin; }) -
          tokens_.begin());
    const std::size_t label = label_size(columns[0].name, tokens_);
    if (label > end ||
        (label == 1 && columns[0].name == "Mode" &&
         (tokens_[0].text.size() < 2 || tokens_[0].text.back() != ':' ||
          !is_count(tokens_[0].text.substr(0, tokens_[0].text.size() - 1)))) ||
        (label == 1 && columns[0].name != "Mode" && !is_count(tokens_[0].text)))
      return fail(ReadFault::layout, tokens_.empty() ? 1 : tokens_[0].column,
                  "a row of " + std::string("the table: its label ('") +
                      std::string(columns[0].name) + "'), then " + std::to_string(numeric) +
                      " numbers");
    const std::size_t given = end - label;
    if (spin == std::string_view::npos ? (!all || given != numeric) : given >= numeric) {
      return fail(ReadFault::count_mismatch,
                  all && given < numeric ? line_.text.size() + 1 : tokens_[end - 1].column,
                  std::to_string(numeric) + " numbers after the label, as the header names, not " +
                      (all ? std::to_string(given) : "more"));
    }
    for (std::size_t k = 0; k < numeric; ++k) {
      const std::size_t role = roles[k + 1];
      if (role == kRoles) continue;
      double value = 0.0;
      if (k < given) {
        if (!number(tokens_[label + k], kRoleNames[role], value)) return false;
      } else if (role != ir_intensity && role != raman_activity && role != oscillator &&
                 role != rotatory) {
        return fail(ReadFault::missing_field, static_cast<std::size_t>(spin) + 1,
                    std::string(kRoleNames[role]) + " before 'spin forbidden'");
      }
      table.values[role].push_back(value);  // a spin-forbidden state's strength is zero
    }
    return true;
  }

  bool read_gibbs() {
    split_tokens(line_.text, tokens_, 10);
    for (std::size_t k = 0; k + 1 < tokens_.size(); ++k)
      if (tokens_[k].text == "...") return free_energy(tokens_[k + 1], result_.data.free_energy);
    return missing("the free energy after '...'");
  }

  // The tables into the data, checked against one another.
  bool combine() {
    const auto mismatch = [&](const Table& table, const Table& with) {
      return fail(read_error(ReadFault::count_mismatch, table.line, 1,
                             "the " + std::to_string(with.rows) + " " +
                                 (table.has[frequency] ? "modes" : "states") +
                                 " of the table at line " + std::to_string(with.line) + ", not " +
                                 std::to_string(table.rows)));
    };
    Table& ir = tables_[static_cast<std::size_t>(Kind::ir)];
    Table& raman = tables_[static_cast<std::size_t>(Kind::raman)];
    if (ir.read && raman.read && ir.values[frequency] != raman.values[frequency])
      return mismatch(raman, ir);
    const Table* modes = ir.read ? &ir : raman.read ? &raman : nullptr;
    if (modes != nullptr) {
      Vibrations& v = result_.data.vibrations;
      for (std::size_t k = 0; k < modes->rows; ++k) {
        const double f = modes->values[frequency][k];
        if (f <= 0.0) {
          ++(f < 0.0 ? v.imaginary_left_out : v.zero_left_out);
          continue;
        }
        v.frequency.push_back(f);
        if (ir.read) v.ir_intensity.push_back(ir.values[ir_intensity][k]);
        if (raman.read) v.raman_activity.push_back(raman.values[raman_activity][k]);
      }
      const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
      if (!note.empty()) result_.notes.push_back(LineListNote{modes->line, note});
    }
    const Table* states = nullptr;
    for (const Kind kind : {Kind::absorption, Kind::cd_length, Kind::cd_velocity}) {
      const Table& table = tables_[static_cast<std::size_t>(kind)];
      if (!table.read) continue;
      if (states == nullptr) {
        states = &table;
      } else {
        for (const Role role : {energy_ev, wavenumber, wavelength})
          if (table.rows != states->rows ||
              (table.has[role] && states->has[role] && table.values[role] != states->values[role]))
            return mismatch(table, *states);
      }
    }
    if (states != nullptr) {
      ExcitedStates& e = result_.data.excited_states;
      e.energy_ev = states->values[energy_ev];
      e.wavenumber = states->values[wavenumber];
      e.wavelength_nm = states->values[wavelength];
      e.oscillator_strength =
          tables_[static_cast<std::size_t>(Kind::absorption)].values[oscillator];
      e.rotatory_length = tables_[static_cast<std::size_t>(Kind::cd_length)].values[rotatory];
      e.rotatory_velocity = tables_[static_cast<std::size_t>(Kind::cd_velocity)].values[rotatory];
    }
    return true;
  }

  std::array<Table, kKinds> tables_;
  SpectraRead result_;
};

}  // namespace

SpectraRead read_orca(std::string_view text) { return OrcaReader(text).read(); }

bool recognises_orca(std::string_view text) noexcept {
  // The banner line "* O   R   C   A *" opens every ORCA output.
  return qc::line_opens_with(text.substr(0, 16384), "* O   R   C   A *");
}

}  // namespace broaden
