// Chemical JSON (the spectra reader contract of line_list_formats.h), as
// cclib writes it and as Avogadro writes it, parsed by nlohmann-json.
//
// The text is one JSON object with a "chemical json" (cclib) or
// "chemicalJson" (Avogadro) member. Read from it, each an array of numbers
// where present:
//   vibrations.frequencies                    cm^-1
//   vibrations.intensities.IR  (cclib), or
//   vibrations.intensities     (Avogadro)     km/mol
//   vibrations.intensities.raman (cclib), or
//   vibrations.ramanIntensities (Avogadro)    A^4/amu
//   transitions."electronic transitions"      cm^-1
//   transitions."oscillator strength"
//   transitions."rotatory strength"           10^-40 cgs, form not named
//   properties.energy."free energy"           hartree (a number)
// each as long as the frequencies or the transitions. cclib writes ORCA's
// transitions instead as an object of its tables, each [[energies],
// [strengths]] under the table's title: the electric-dipole absorption
// ("ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS", or
// "ABSORPTION SPECTRUM") gives the energies and oscillator strengths, as
// the ORCA reader takes them; "CD SPECTRUM" (or "... VIA TRANSITION
// ELECTRIC DIPOLE MOMENTS") the length-form and "CD SPECTRUM VIA
// TRANSITION VELOCITY DIPOLE MOMENTS" the velocity-form rotatory
// strengths; other tables are dropped.
//
// Python's json writes the bare literals NaN, Infinity and -Infinity, which
// JSON has not: each outside a string is given to the library as null, its
// place kept, and becomes in the parsed tree a NaN whose payload numbers it
// (the library's own text never gives a NaN); a value read where one stands
// is refused at its place, one dropped is no matter.
//
// A syntax error is placed at its line and column (from the library's byte
// position); an error of content (a member of the wrong type, arrays of
// unequal length) at line 1, column 1, as the library keeps no positions of
// values, but for one of those literals. Nesting is limited to 64 levels,
// and members of the top object other than these are dropped as they are
// parsed.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "qc_text.h"
#include "records/spectra_data.h"

namespace broaden {
#if BROADEN_HAVE_NLOHMANN_JSON
namespace {

using nlohmann::json;

constexpr int kDepth = 64;

struct TooDeep {};

struct ContentError {
  std::string expected;
  ReadFault kind = ReadFault::not_a_number;
  std::size_t offset = 0;  ///< in the text as given
};

// A bare NaN, Infinity or -Infinity outside a string: where it stands in
// the text, where its null stands in the text given to the library, and
// how many nulls come before it there (each null is one event of the
// parser, in the order of the text).
struct Literal {
  std::size_t offset, given_offset, nulls_before;
  std::string_view spelling;
};

// The text for the library, with each literal made null (empty when there
// is none: the text itself is parsed), and the literals in order.
struct Prepared {
  std::string text;
  std::vector<Literal> literals;
};

// The letters of a bare word from `at` on.
std::size_t word_end(std::string_view text, std::size_t at) {
  while (at < text.size() &&
         ((text[at] >= 'a' && text[at] <= 'z') || (text[at] >= 'A' && text[at] <= 'Z')))
    ++at;
  return at;
}

Prepared prepared(std::string_view text) {
  Prepared out;
  std::size_t nulls = 0, copied = 0;
  bool in_string = false;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (in_string) {
      in_string = c != '"';
      at += c == '\\' ? 2 : 1;
      continue;
    }
    if (c == '"') in_string = true;
    const std::size_t end = word_end(text, at);
    if (end == at) {
      ++at;
      continue;
    }
    const std::string_view word = text.substr(at, end - at);
    if (word == "null") ++nulls;
    if (word == "NaN" || word == "Infinity") {
      const std::size_t start = word == "Infinity" && at > 0 && text[at - 1] == '-' ? at - 1 : at;
      out.text.append(text.substr(copied, start - copied));
      out.literals.push_back({start, out.text.size(), nulls++, text.substr(start, end - start)});
      out.text.append("null");
      copied = end;
    }
    at = end;
  }
  if (!out.literals.empty()) out.text.append(text.substr(copied));
  return out;
}

// The offset in the text as given of `offset` in the text the library read.
std::size_t given_offset(const Prepared& p, std::size_t offset) {
  std::size_t original = offset;
  for (const Literal& literal : p.literals) {
    if (literal.given_offset >= offset) break;
    if (offset < literal.given_offset + 4) return literal.offset;
    original = original + literal.spelling.size() - 4;
  }
  return original;
}

// The NaN that stands for the literal numbered `k` in the parsed tree, and back.
constexpr std::uint64_t kQuietNan = 0x7ff8000000000000u;
double literal_mark(std::size_t k) {
  return std::bit_cast<double>(kQuietNan | static_cast<std::uint64_t>(k + 1));
}
const Literal* literal_of(double x, const std::vector<Literal>& literals) {
  if (!std::isnan(x)) return nullptr;
  const std::uint64_t k = (std::bit_cast<std::uint64_t>(x) & ~kQuietNan) - 1;
  return k < literals.size() ? &literals[k] : nullptr;
}

// The library's tree builder (what json::parse with a callback uses), with
// each null that was a literal made the literal's mark.
class LiteralsMarked : public nlohmann::detail::json_sax_dom_callback_parser<json> {
 public:
  LiteralsMarked(json& tree, const json::parser_callback_t& keep,
                 const std::vector<Literal>& literals)
      : json_sax_dom_callback_parser(tree, keep), literals_(literals) {}
  bool null() {
    if (next_ < literals_.size() && literals_[next_].nulls_before == nulls_++)
      return number_float(literal_mark(next_++), {});
    return json_sax_dom_callback_parser::null();
  }

 private:
  const std::vector<Literal>& literals_;
  std::size_t next_ = 0, nulls_ = 0;
};

// The error at the 1-based line and column of a byte offset: of `kind`, but
// of the class not_a_number whatever the kind, as Chemical JSON always was.
LineListError at_offset(std::string_view text, std::size_t offset, ReadFault kind,
                        std::string expected) {
  offset = std::min(offset, text.size());
  // A position past the final line feed is on the last line, at its end.
  if (offset == text.size() && offset > 0 && text[offset - 1] == '\n') --offset;
  const std::size_t line =
      1 + static_cast<std::size_t>(
              std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
  const std::size_t newline = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
  const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
  // A line feed, and a carriage return before it, belong to the line end:
  // a fault there is placed just past the line's last character.
  std::size_t end = std::min(text.find('\n', start), text.size());
  if (end < text.size() && end > start && text[end - 1] == '\r') --end;
  const std::size_t column = std::min(offset, end) - start + 1;
  return LineListError{LineError::not_a_number, line, column, std::move(expected), kind};
}

// The literal a value is, refused at its place; the name says where it stood.
[[noreturn]] void refuse_literal(const Literal& literal, const std::string& as) {
  const bool nan = literal.spelling == "NaN";
  throw ContentError{
      as + (nan ? "" : " within the range of doubles") + ", not " + std::string(literal.spelling),
      nan ? ReadFault::not_a_number : ReadFault::out_of_range, literal.offset};
}

std::vector<double> numbers(const json& value, const std::string& name,
                            const std::vector<Literal>& literals) {
  if (!value.is_array()) throw ContentError{name + " as an array of numbers"};
  std::vector<double> out;
  out.reserve(value.size());
  for (const json& item : value) {
    if (!item.is_number()) throw ContentError{name + " as an array of numbers"};
    const double x = item.get<double>();
    if (const Literal* literal = literal_of(x, literals))
      refuse_literal(*literal, name + " as an array of numbers");
    if (!std::isfinite(x))
      throw ContentError{name + " within the range of doubles", ReadFault::out_of_range};
    out.push_back(x);
  }
  return out;
}

const json* member(const json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

void check_length(const std::vector<double>& values, std::size_t length, const std::string& name,
                  const std::string& of) {
  if (!values.empty() && values.size() != length)
    throw ContentError{name + " with " + std::to_string(length) + " values, one for each of " + of +
                           ", not " + std::to_string(values.size()),
                       ReadFault::count_mismatch};
}

// The table of cclib's object of ORCA's tables under the first of `titles`
// it holds: its energies and strengths (empty where none is there).
struct Table {
  std::vector<double> energies, strengths;
};
Table table_of(const json& tables, std::initializer_list<const char*> titles,
               const std::vector<Literal>& literals) {
  for (const char* title : titles) {
    const json* table = member(tables, title);
    if (table == nullptr) continue;
    const std::string name =
        std::string("transitions.\"electronic transitions\".\"") + title + "\"";
    if (!table->is_array() || table->size() != 2)
      throw ContentError{name + " as [[energies], [strengths]]", ReadFault::layout};
    Table t{numbers((*table)[0], name + "[0]", literals),
            numbers((*table)[1], name + "[1]", literals)};
    check_length(t.strengths, t.energies.size(), name + "[1]", "its energies");
    return t;
  }
  return {};
}

// The energies and strengths of cclib's object of ORCA's tables.
ExcitedStates tables_of(const json& tables, const std::vector<Literal>& literals) {
  const Table absorption = table_of(
      tables, {"ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS", "ABSORPTION SPECTRUM"},
      literals);
  const Table length = table_of(
      tables, {"CD SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS", "CD SPECTRUM"}, literals);
  const Table velocity =
      table_of(tables, {"CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS"}, literals);
  ExcitedStates e;
  for (const Table* t : {&velocity, &length, &absorption})
    if (!t->energies.empty()) e.wavenumber = t->energies;
  e.oscillator_strength = absorption.strengths;
  e.rotatory_length = length.strengths;
  e.rotatory_velocity = velocity.strengths;
  for (const Table* t : {&absorption, &length, &velocity})
    check_length(t->energies, e.wavenumber.size(), "each table of transitions",
                 "the states of the others");
  return e;
}

// The members of "transitions", each as long as the transitions.
ExcitedStates transitions_of(const json& t, const std::vector<Literal>& literals) {
  const json* energies = member(t, "electronic transitions");
  if (energies != nullptr && energies->is_object()) return tables_of(*energies, literals);
  ExcitedStates e;
  if (energies != nullptr)
    e.wavenumber = numbers(*energies, "transitions.\"electronic transitions\"", literals);
  if (const json* x = member(t, "oscillator strength"))
    e.oscillator_strength = numbers(*x, "transitions.\"oscillator strength\"", literals);
  if (const json* x = member(t, "rotatory strength"))
    e.rotatory_unnamed = numbers(*x, "transitions.\"rotatory strength\"", literals);
  if (e.wavenumber.empty() && e.size() > 0)
    throw ContentError{"transitions.\"electronic transitions\" for the strengths",
                       ReadFault::misplaced};
  check_length(e.oscillator_strength, e.wavenumber.size(), "the oscillator strengths",
               "the electronic transitions");
  check_length(e.rotatory_unnamed, e.wavenumber.size(), "the rotatory strengths",
               "the electronic transitions");
  return e;
}

SpectraData content_of(const json& root, const std::vector<Literal>& literals) {
  if (!root.is_object() ||
      (member(root, "chemical json") == nullptr && member(root, "chemicalJson") == nullptr))
    throw ContentError{
        "a Chemical JSON object (with a \"chemical json\" or \"chemicalJson\" member)",
        ReadFault::layout};
  SpectraData data;
  std::vector<double> frequency, ir, raman;
  if (const json* vibrations = member(root, "vibrations")) {
    if (const json* f = member(*vibrations, "frequencies"))
      frequency = numbers(*f, "vibrations.frequencies", literals);
    if (const json* i = member(*vibrations, "intensities")) {
      if (i->is_object()) {
        if (const json* x = member(*i, "IR"))
          ir = numbers(*x, "vibrations.intensities.IR", literals);
        if (const json* x = member(*i, "raman"))
          raman = numbers(*x, "vibrations.intensities.raman", literals);
      } else {
        ir = numbers(*i, "vibrations.intensities", literals);
      }
    }
    if (const json* r = member(*vibrations, "ramanIntensities"))
      raman = numbers(*r, "vibrations.ramanIntensities", literals);
    check_length(ir, frequency.size(), "the IR intensities", "vibrations.frequencies");
    check_length(raman, frequency.size(), "the Raman activities", "vibrations.frequencies");
  }
  Vibrations& v = data.vibrations;
  for (std::size_t k = 0; k < frequency.size(); ++k) {
    if (frequency[k] <= 0.0) {
      ++(frequency[k] < 0.0 ? v.imaginary_left_out : v.zero_left_out);
      continue;
    }
    v.frequency.push_back(frequency[k]);
    if (!ir.empty()) v.ir_intensity.push_back(ir[k]);
    if (!raman.empty()) v.raman_activity.push_back(raman[k]);
  }
  if (const json* t = member(root, "transitions"))
    data.excited_states = transitions_of(*t, literals);
  if (const json* energy = member(root, "properties")) {
    if (const json* e = member(*energy, "energy")) {
      if (const json* g = member(*e, "free energy")) {
        const std::string name = "properties.energy.\"free energy\" as a number";
        if (g->is_number())
          if (const Literal* literal = literal_of(g->get<double>(), literals))
            refuse_literal(*literal, name);
        if (!g->is_number() || !std::isfinite(g->get<double>())) throw ContentError{name};
        data.free_energy = g->get<double>();
      }
    }
  }
  return data;
}

// The library's message without its own name and position, one line:
// "syntax error while parsing value - invalid literal; last read: 'x'".
std::string library_message(const char* what) {
  std::string_view text(what);
  const std::size_t column = text.find(", column ");
  const std::size_t colon = text.find(": ", column == std::string_view::npos ? 0 : column);
  if (colon != std::string_view::npos)
    text.remove_prefix(colon + 2);
  else if (const std::size_t bracket = text.find("] "); bracket != std::string_view::npos)
    text.remove_prefix(bracket + 2);
  return escaped(text.substr(0, 160));
}

bool kept_at_top(const std::string& key) {
  return key == "chemical json" || key == "chemicalJson" || key == "vibrations" ||
         key == "transitions" || key == "properties";
}

// The tree of the JSON text, its literals marked; throws the library's
// errors, TooDeep.
json parsed(std::string_view text, const Prepared& p) {
  const json::parser_callback_t keep = [](int depth, json::parse_event_t event, json& value) {
    if (depth > kDepth) throw TooDeep{};
    if (event == json::parse_event_t::key && depth == 1 && !kept_at_top(value.get<std::string>()))
      return false;
    return true;
  };
  json root;
  LiteralsMarked builder(root, keep, p.literals);
  const std::string_view given = p.literals.empty() ? text : std::string_view(p.text);
  json::sax_parse(given.begin(), given.end(), &builder);
  return root;
}

}  // namespace

SpectraRead read_cjson(std::string_view text) {
  SpectraRead result;
  const Prepared p = prepared(text);
  try {
    result.data = content_of(parsed(text, p), p.literals);
    const Vibrations& v = result.data.vibrations;
    const std::string note = qc::left_out_note(v.imaginary_left_out, v.zero_left_out);
    if (!note.empty()) result.notes.push_back(LineListNote{1, note});
  } catch (const json::parse_error& error) {
    result = {};
    // The byte is 1-based, the last one read: the offset of the fault.
    result.error =
        at_offset(text, given_offset(p, error.byte == 0 ? 0 : error.byte - 1), ReadFault::syntax,
                  "JSON text (" + library_message(error.what()) + ")");
  } catch (const json::exception& error) {
    result = {};
    result.error = at_offset(
        text, 0, ReadFault::out_of_range,
        "JSON numbers within the range of doubles (" + library_message(error.what()) + ")");
  } catch (const TooDeep&) {
    result = {};
    result.error = at_offset(text, 0, ReadFault::syntax,
                             "JSON nested no deeper than " + std::to_string(kDepth) + " levels");
  } catch (const ContentError& error) {
    result = {};
    result.error = at_offset(text, error.offset, error.kind, error.expected);
  }
  return result;
}

#else
SpectraRead read_cjson(std::string_view) {
  SpectraRead result;
  result.error = read_error(ReadFault::syntax, 1, 1,
                            "Chemical JSON support, which this build lacks (built without "
                            "nlohmann-json)");
  return result;
}
#endif

bool recognises_cjson(std::string_view text) noexcept {
  // A JSON object naming itself Chemical JSON, wherever the member stands.
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || text[first] != '{') return false;
  return text.find("\"chemical json\"") != std::string_view::npos ||
         text.find("\"chemicalJson\"") != std::string_view::npos;
}

}  // namespace broaden
