#include "batch/energy_table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "batch/batch.h"
#include "batch/input_lines.h"
#include "numbers/decimal_scan.h"
#include "text/quoted.h"

namespace broaden {
namespace {

// A row as read: its name, its energy and its line.
struct EnergyRow {
  std::string name;
  double energy = 0.0;
  std::size_t line = 0;
};

// The units the tables take, as messages list them: "hartree, kcal/mol, kJ/mol or eV".
std::string unit_list() {
  std::string list;
  for (std::size_t i = 0; i < std::size(kEnergyUnits); ++i) {
    if (i > 0) list += i + 1 == std::size(kEnergyUnits) ? " or " : ", ";
    list += kEnergyUnits[i].symbol;
  }
  return list;
}

bool is_word(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// The units `line` names, each once, in the table's order: a name standing
// apart from letters and digits, in any case.
std::vector<const EnergyUnitRow*> units_named(std::string_view line) {
  std::string lower(line);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::vector<const EnergyUnitRow*> units;
  for (const EnergyUnitRow& row : kEnergyUnits) {
    for (const std::string_view name : row.names) {
      bool found = false;
      for (std::size_t at = lower.find(name); at != std::string::npos && !found;
           at = lower.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        found =
            (at == 0 || !is_word(lower[at - 1])) && (end == lower.size() || !is_word(lower[end]));
      }
      if (found) {
        units.push_back(&row);
        break;
      }
    }
  }
  return units;
}

// The fields of a line: apart by tabs where it holds one, else by blanks;
// each without the blanks around it, the empty ones dropped.
std::vector<std::string_view> fields_of(std::string_view line) {
  const bool tabs = line.find('\t') != std::string_view::npos;
  const std::string_view apart = tabs ? "\t" : " \t";
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t end = std::min(line.find_first_of(apart, start), line.size());
    std::string_view field = line.substr(start, end - start);
    const std::size_t first = field.find_first_not_of(' ');
    if (first != std::string_view::npos)
      fields.push_back(field.substr(first, field.find_last_not_of(' ') - first + 1));
    start = end + 1;
  }
  return fields;
}

// The reading of a table, line by line.
class TableReader {
 public:
  explicit TableReader(const std::string& table) : table_(table) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw BatchFailure{kBatchFailed,
                       shown_input(table_) + ":" + std::to_string(line_) + ": " + what};
  }

  // Takes the unit a header line names (none: a comment's silence).
  void name_unit(std::string_view text, bool header_row) {
    const std::vector<const EnergyUnitRow*> units = units_named(text);
    if (units.size() > 1)
      fail("the line names " + std::string(units[0]->symbol) + " and " +
           std::string(units[1]->symbol) + ": name one unit of energy");
    if (units.empty()) {
      if (header_row && unit_ == nullptr)
        fail("the header row names no unit of energy: name " + unit_list());
      return;
    }
    if (unit_ != nullptr && unit_ != units[0])
      fail("the table names " + std::string(unit_->symbol) + " at line " +
           std::to_string(unit_line_) + " and " + std::string(units[0]->symbol) +
           " here: name one unit of energy");
    unit_ = units[0];
    unit_line_ = line_;
  }

  void row(const std::vector<std::string_view>& fields) {
    if (unit_ == nullptr)
      fail(
          "the table names no unit of energy before its first row: give a header such as "
          "'# file energy/kcal/mol' (" +
          unit_list() + ")");
    if (fields.size() != 2)
      fail("expected two fields, a file name and its energy, not " + std::to_string(fields.size()));
    const DecimalScan scan = scan_decimal(fields[1], {});
    const double energy = scan_to_double(scan);
    if (scan.error != DecimalError::none || scan.empty || !std::isfinite(energy))
      fail("expected the energy as a finite decimal number, not " + quoted(fields[1]));
    rows_.push_back({std::string(fields[0]), energy, line_});
  }

  void read(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      std::string_view line = text.substr(start, end - start);
      start = end + 1;
      ++line_;
      if (line.ends_with('\r')) line.remove_suffix(1);
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos) continue;
      if (line[first] == '#') {
        if (rows_.empty()) name_unit(line, false);
        continue;
      }
      const std::vector<std::string_view> fields = fields_of(line);
      // A header's last field is a word; a row's energy, even a faulty one,
      // starts as a number does, so that it is refused rather than skipped.
      const bool word = fields.back().find_first_of("0123456789+-.") != 0;
      if (rows_.empty() && !header_seen_ && word) {
        header_seen_ = true;
        name_unit(line, true);
        continue;
      }
      row(fields);
    }
  }

  const EnergyUnitRow* unit() const { return unit_; }
  const std::vector<EnergyRow>& rows() const { return rows_; }
  void at_line(std::size_t line) { line_ = line; }

 private:
  const std::string& table_;
  std::size_t line_ = 0, unit_line_ = 0;
  bool header_seen_ = false;
  const EnergyUnitRow* unit_ = nullptr;
  std::vector<EnergyRow> rows_;
};

// The last path component of `name`: "run/conf1.out" -> "conf1.out".
std::string_view leaf_of(std::string_view name) {
  const std::size_t slash = name.find_last_of('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// The inputs by their names, and by their last path components (each name
// once), so that a long table is matched in n log n.
struct InputIndex {
  std::map<std::string_view, const std::string*> by_name;
  std::map<std::string_view, std::vector<const std::string*>> by_leaf;
  explicit InputIndex(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
      if (!by_name.emplace(input, &input).second || input == "-") continue;
      by_leaf[leaf_of(input)].push_back(&input);
    }
  }
};

// The input `row` names: as given, else (a name without '/') the one input
// whose last path component it is.
const std::string& input_of(const EnergyRow& row, const InputIndex& inputs, TableReader& reader) {
  reader.at_line(row.line);
  if (const auto exact = inputs.by_name.find(row.name); exact != inputs.by_name.end())
    return *exact->second;
  const auto leaf = row.name.find('/') == std::string::npos ? inputs.by_leaf.find(row.name)
                                                            : inputs.by_leaf.end();
  if (leaf == inputs.by_leaf.end()) reader.fail(quoted(row.name) + " is not among the inputs");
  const std::vector<const std::string*>& found = leaf->second;
  if (found.size() > 1)
    reader.fail(quoted(row.name) + " is the last part of both " + quoted(*found[0]) + " and " +
                quoted(*found[1]) + ": name the input as it is given");
  return *found.front();
}

}  // namespace

InputEnergies input_energies(std::string_view text, const std::string& table,
                             const std::vector<std::string>& inputs) {
  TableReader reader(table);
  reader.read(text);
  const InputIndex index(inputs);
  // Each input's row, by its name.
  std::map<std::string, const EnergyRow*> row_of;
  for (const EnergyRow& row : reader.rows()) {
    const std::string& input = input_of(row, index, reader);
    const auto [at, added] = row_of.emplace(input, &row);
    if (!added)
      reader.fail("a second row for " + quoted_input(input) + ", whose row is at line " +
                  std::to_string(at->second->line));
  }
  InputEnergies energies{table, reader.unit(), {}};
  for (const std::string& input : inputs) {
    const auto at = row_of.find(input);
    if (at == row_of.end())
      throw BatchFailure{kBatchFailed, shown_input(table) + " gives no energy for " +
                                           quoted_input(input) + ": give each input a row"};
    energies.energy.push_back(at->second->energy);
  }
  return energies;
}

}  // namespace broaden
