// The ORCA output, versions 4, 5 and 6: its IR, Raman, VCD, absorption and
// CD tables and its Gibbs free energy (the spectra reader contract of
// line_list_formats.h).
//
// A table starts at a line that is its title alone: "IR SPECTRUM", "RAMAN
// SPECTRUM", "ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS",
// "CD SPECTRUM" or "CD SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS"
// (the length form), "CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS",
// "VCD SPECTRUM CALCULATION" (its line "Calculating the atomic axial tensor
// ..." passed over). Lines of dashes and blank lines may follow; then the
// header line, an
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
//   Freq (1/cm)                            frequency, cm^-1 (VCD)
//   VCD-Intensity (1E-44*esu^2*cm^2)       rotational strength (VCD)
// A table whose header gives no such layout is refused, naming its header.
// ROCIS with spin-orbit coupling prints its spectrum as "SPIN ORBIT
// CORRECTED ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS"
// (version 6: "SOC CORRECTED ..."), read as the absorption table.
// A row's label is its first field ("6:", under "Mode" of the VCD table
// "6", "1"), under "States" its two
// states ("0  3"), or, under "Transition", "0-1A -> 1-1A" with any symmetry
// labels ("0-2.0A -> 1-2.0A"); then one number a column. A row
// "N E L spin forbidden ..." gives its positions and zero strengths.
// A table ends at a blank line, a line of dashes or a footnote ("*...").
// The last table of each kind is taken; an absorption table drops the CD
// tables kept before it (they follow their absorption table). The IR and
// Raman tables must list the same modes, the VCD table the modes they number
// (its frequencies, printed to 0.1 cm-1, taken only where neither is
// printed), the absorption and CD tables the
// same states (version 5 prints the CD table of EOM, STEOM and ADC(2) with
// its cm-1 and nm columns holding each other's values: taken as the same
// states). The coupled-cluster methods print a set of tables for each of
// "SPECTRUM FOR RIGHT / LEFT / LEFT-RIGHT TRANSITION MOMENTS": the tables
// that follow the right and left lines (blank lines and dashes between)
// are read but not kept, so the left-right set is. A state printed at zero
// or negative energy is left out with a note.
// "Final Gibbs free energy ... G Eh" (before 4.2 "Final Gibbs free
// enthalpy") gives the free energy (hartree).
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

enum class Kind { ir, raman, vcd, absorption, cd_length, cd_velocity };
constexpr std::size_t kKinds = 6;

enum Role : std::size_t {
  frequency,
  ir_intensity,
  raman_activity,
  energy_ev,
  wavenumber,
  wavelength,
  oscillator,
  rotatory,
  rotational,
  kRoles
};

constexpr std::string_view kRoleNames[kRoles] = {
    "a frequency",          "an IR intensity", "a Raman activity",       "an energy in eV",
    "an energy in cm-1",    "a wavelength",    "an oscillator strength", "a rotatory strength",
    "a rotational strength"};

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
    {"VCD SPECTRUM CALCULATION", Kind::vcd},
    // ROCIS with spin-orbit coupling: its final spectrum (6: "SOC CORRECTED").
    {"SPIN ORBIT CORRECTED ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS",
     Kind::absorption},
    {"SOC CORRECTED ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS", Kind::absorption},
};

// The line of a VCD table before its header.
constexpr std::string_view kAxialTensor = "Calculating the atomic axial tensor";

// "Final Gibbs free energy" from version 4.2 on, "Final Gibbs free enthalpy" before.
constexpr std::string_view kGibbs = "Final Gibbs free en";
constexpr std::string_view kGibbsEnds[] = {"ergy", "thalpy"};

// The coupled-cluster methods (EOM, STEOM) print their tables three times,
// each set after a line of its own; the left-right set is the one their
// transition strength is defined by, the others are read but not kept.
constexpr std::string_view kSetLeftRight = "SPECTRUM FOR LEFT-RIGHT TRANSITION MOMENTS";
constexpr std::string_view kSetsOneSided[] = {"SPECTRUM FOR RIGHT TRANSITION MOMENTS",
                                              "SPECTRUM FOR LEFT TRANSITION MOMENTS"};
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
// table has no such column), the modes its rows are labelled with (under
// "Mode") and its number of rows.
struct Table {
  std::size_t line = 0;
  std::array<std::vector<double>, kRoles> values;
  std::vector<std::size_t> modes;
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
      bool title_found = false;
      if (t.substr(0, kGibbs.size()) == kGibbs) {
        ok = read_gibbs(t.substr(kGibbs.size()));
      } else if (t == kSetLeftRight || t == kSetsOneSided[0] || t == kSetsOneSided[1]) {
        title_found = true;
        one_sided_ = t != kSetLeftRight;
      } else if (!t.empty() && std::string_view("IRACSV").find(t[0]) != std::string_view::npos) {
        for (const Title& title : kTitles)
          if (t == title.text) {
            title_found = true;
            ok = read_table(title.kind);
            break;
          }
      }
      // A set's tables follow its line with only blank lines and dashes between.
      if (!title_found && !is_blank_line(t) && !is_dash_line(t)) one_sided_ = false;
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
      const bool vibrational = kind == Kind::ir || kind == Kind::raman || kind == Kind::vcd;
      if ((kind == Kind::ir || kind == Kind::raman) && c.name == "freq" && c.unit == "cm**-1") {
        role = frequency;
      } else if (kind == Kind::vcd && c.name == "Freq" && c.unit == "1/cm") {
        role = frequency;
      } else if (kind == Kind::vcd && c.name == "VCD-Intensity" && c.unit == "1E-44*esu^2*cm^2") {
        role = rotational;
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
      case Kind::vcd:
        return seen[frequency] && seen[rotational];
      case Kind::absorption:
      case Kind::cd_length:
      case Kind::cd_velocity:
        return (seen[energy_ev] || seen[wavenumber] || seen[wavelength]) &&
               seen[kind == Kind::absorption ? oscillator : rotatory];
    }
    return false;
  }

  // How many of the row's first tokens are its label.
  // ROCIS before version 5 labels a row by its two states ("0  3") under "States".
  static std::size_t label_size(std::string_view first_header, const std::vector<Token>& tokens) {
    if (first_header == "States")
      return tokens.size() >= 2 && is_count(tokens[0].text) && is_count(tokens[1].text)
                 ? 2
                 : tokens.size() + 1;
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
    // Dashes and blank lines (and VCD's line on its atomic axial tensor), then the header.
    do {
      if (!next_in_section()) return cut_short("the header of " + what);
    } while (
        is_blank_line(line_.text) || is_dash_line(line_.text) ||
        (kind == Kind::vcd && trimmed(line_.text).substr(0, kAxialTensor.size()) == kAxialTensor));
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
      // A table ends at a blank line, dashes, or a footnote ("*The positivity ...").
      if (is_blank_line(line_.text) || is_dash_line(line_.text) ||
          trimmed(line_.text).front() == '*') {
        if (table.rows == 0) return fail(ReadFault::misplaced, 1, "the rows of " + what);
        keep(kind, std::move(table));
        return true;
      }
      if (!read_row(columns, roles, numeric, kind == Kind::vcd, table)) return false;
      ++table.rows;
    }
    return cut_short("the rest of " + what);
  }

  // A row of the table; `bare` (VCD): its mode without the colon.
  bool read_row(const std::vector<Column>& columns, const std::vector<std::size_t>& roles,
                std::size_t numeric, bool bare, Table& table) {
    const bool all = split_tokens(line_.text, tokens_, kTokens, "()");
    const std::size_t spin = line_.text.find("spin forbidden");
    std::size_t end = tokens_.size();
    if (spin != std::string_view::npos)
      end = static_cast<std::size_t>(
          std::find_if(tokens_.begin(), tokens_.end(),
                       [&](const Token& token) { return token.column > spin; }) -
          tokens_.begin());
    const std::size_t label = label_size(columns[0].name, tokens_);
    const bool mode = label == 1 && label <= end && columns[0].name == "Mode";
    const std::string_view mode_label =
        mode ? (bare ? tokens_[0].text : tokens_[0].text.substr(0, tokens_[0].text.size() - 1))
             : std::string_view();
    if (label > end ||
        (mode && (mode_label.empty() || !is_count(mode_label) ||
                  (!bare && tokens_[0].text.back() != ':'))) ||
        (label == 1 && columns[0].name != "Mode" && !is_count(tokens_[0].text)))
      return fail(ReadFault::layout, tokens_.empty() ? 1 : tokens_[0].column,
                  "a row of " + std::string("the table: its label ('") +
                      std::string(columns[0].name) + "'), then " + std::to_string(numeric) +
                      " numbers");
    if (mode) table.modes.push_back(count_of(mode_label));
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

  // The table just read, unless of a one-sided set; an absorption table
  // starts the tables of its states: the CD tables kept before are dropped.
  void keep(Kind kind, Table table) {
    if (one_sided_) return;
    table.read = true;
    if (kind == Kind::absorption)
      for (const Kind cd : {Kind::cd_length, Kind::cd_velocity})
        tables_[static_cast<std::size_t>(cd)] = Table{};
    tables_[static_cast<std::size_t>(kind)] = std::move(table);
  }

  bool read_gibbs(std::string_view rest) {
    if (rest.substr(0, kGibbsEnds[0].size()) != kGibbsEnds[0] &&
        rest.substr(0, kGibbsEnds[1].size()) != kGibbsEnds[1])
      return true;
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
    Table& vcd = tables_[static_cast<std::size_t>(Kind::vcd)];
    if (ir.read && raman.read && ir.values[frequency] != raman.values[frequency])
      return mismatch(raman, ir);
    const Table* modes = ir.read ? &ir : raman.read ? &raman : vcd.read ? &vcd : nullptr;
    if (vcd.read && vcd.rows != modes->rows) return mismatch(vcd, *modes);
    if (vcd.read && vcd.modes != modes->modes)
      return fail(read_error(
          ReadFault::numbering, vcd.line, 1,
          "the modes of the table at line " + std::to_string(modes->line) + " as numbered there"));
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
        if (vcd.read) v.rotational_strength.push_back(vcd.values[rotational][k]);
      }
      const std::string note = left_out_note(v.imaginary_left_out, v.zero_left_out);
      if (!note.empty()) result_.notes.push_back(LineListNote{modes->line, note});
    }
    return combine_states();
  }

  // Whether `table` lists the states of `states`: as many, at the same
  // positions; or, in a CD table, with its cm-1 and nm columns holding each
  // other's values (as version 5 prints the CD table of its EOM, STEOM and
  // ADC(2) methods).
  static bool same_states(const Table& table, const Table& states) {
    if (table.rows != states.rows) return false;
    const auto same = [&](Role role, Role as) {
      return !table.has[role] || !states.has[as] || table.values[role] == states.values[as];
    };
    if (same(energy_ev, energy_ev) && same(wavenumber, wavenumber) && same(wavelength, wavelength))
      return true;
    return table.has[rotatory] && table.has[wavenumber] && table.has[wavelength] &&
           same(energy_ev, energy_ev) && same(wavenumber, wavelength) &&
           same(wavelength, wavenumber);
  }

  // The absorption and CD tables into the data, their states checked
  // against one another; a state printed at zero or negative energy is left
  // out with a note.
  bool combine_states() {
    const Table* states = nullptr;
    for (const Kind kind : {Kind::absorption, Kind::cd_length, Kind::cd_velocity}) {
      const Table& table = tables_[static_cast<std::size_t>(kind)];
      if (!table.read) continue;
      if (states == nullptr) {
        states = &table;
      } else if (!same_states(table, *states)) {
        return fail(read_error(ReadFault::count_mismatch, table.line, 1,
                               "the " + std::to_string(states->rows) +
                                   " states of the table at line " + std::to_string(states->line) +
                                   ", not " + std::to_string(table.rows)));
      }
    }
    if (states == nullptr) return true;
    const auto column = [&](Kind kind, Role role) -> const std::vector<double>& {
      return tables_[static_cast<std::size_t>(kind)].values[role];
    };
    ExcitedStates& e = result_.data.excited_states;
    std::size_t left_out = 0;
    for (std::size_t k = 0; k < states->rows; ++k) {
      bool positive = true;
      for (const Role role : {energy_ev, wavenumber, wavelength})
        positive = positive && (!states->has[role] || states->values[role][k] > 0.0);
      if (!positive) {
        ++left_out;
        continue;
      }
      const auto take = [&](std::vector<double>& into, const std::vector<double>& from) {
        if (!from.empty()) into.push_back(from[k]);
      };
      take(e.energy_ev, states->values[energy_ev]);
      take(e.wavenumber, states->values[wavenumber]);
      take(e.wavelength_nm, states->values[wavelength]);
      take(e.oscillator_strength, column(Kind::absorption, oscillator));
      take(e.rotatory_length, column(Kind::cd_length, rotatory));
      take(e.rotatory_velocity, column(Kind::cd_velocity, rotatory));
    }
    if (left_out > 0)
      result_.notes.push_back(LineListNote{states->line, states_left_out_note(left_out)});
    return true;
  }

  std::array<Table, kKinds> tables_;
  SpectraRead result_;
  bool one_sided_ = false;  // the tables at hand are of a right or left set
};

}  // namespace

SpectraRead read_orca(std::string_view text) { return OrcaReader(text).read(); }

bool recognises_orca(std::string_view text) noexcept {
  // The banner line "* O   R   C   A *" opens every ORCA output.
  return qc::line_opens_with(text.substr(0, 16384), "* O   R   C   A *");
}

}  // namespace broaden
