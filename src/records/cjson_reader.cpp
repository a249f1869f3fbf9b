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
// each as long as the frequencies or the transitions. A syntax error is
// placed at its line and column (from the library's byte position); an
// error of content (a member of the wrong type, arrays of unequal length)
// at line 1, column 1, as the library keeps no positions of values.
// Nesting is limited to 64 levels, and members of the top object other
// than these are dropped as they are parsed.
#include <algorithm>
#include <cmath>
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

std::vector<double> numbers(const json& value, const std::string& name) {
  if (!value.is_array()) throw ContentError{name + " as an array of numbers"};
  std::vector<double> out;
  out.reserve(value.size());
  for (const json& item : value) {
    if (!item.is_number()) throw ContentError{name + " as an array of numbers"};
    const double x = item.get<double>();
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

// The members of "transitions", each as long as the transitions.
ExcitedStates transitions_of(const json& t) {
  ExcitedStates e;
  if (const json* x = member(t, "electronic transitions"))
    e.wavenumber = numbers(*x, "transitions.\"electronic transitions\"");
  if (const json* x = member(t, "oscillator strength"))
    e.oscillator_strength = numbers(*x, "transitions.\"oscillator strength\"");
  if (const json* x = member(t, "rotatory strength"))
    e.rotatory_unnamed = numbers(*x, "transitions.\"rotatory strength\"");
  if (e.wavenumber.empty() && e.size() > 0)
    throw ContentError{"transitions.\"electronic transitions\" for the strengths",
                       ReadFault::misplaced};
  check_length(e.oscillator_strength, e.wavenumber.size(), "the oscillator strengths",
               "the electronic transitions");
  check_length(e.rotatory_unnamed, e.wavenumber.size(), "the rotatory strengths",
               "the electronic transitions");
  return e;
}

SpectraData content_of(const json& root) {
  if (!root.is_object() ||
      (member(root, "chemical json") == nullptr && member(root, "chemicalJson") == nullptr))
    throw ContentError{
        "a Chemical JSON object (with a \"chemical json\" or \"chemicalJson\" member)",
        ReadFault::layout};
  SpectraData data;
  std::vector<double> frequency, ir, raman;
  if (const json* vibrations = member(root, "vibrations")) {
    if (const json* f = member(*vibrations, "frequencies"))
      frequency = numbers(*f, "vibrations.frequencies");
    if (const json* i = member(*vibrations, "intensities")) {
      if (i->is_object()) {
        if (const json* x = member(*i, "IR")) ir = numbers(*x, "vibrations.intensities.IR");
        if (const json* x = member(*i, "raman"))
          raman = numbers(*x, "vibrations.intensities.raman");
      } else {
        ir = numbers(*i, "vibrations.intensities");
      }
    }
    if (const json* r = member(*vibrations, "ramanIntensities"))
      raman = numbers(*r, "vibrations.ramanIntensities");
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
  if (const json* t = member(root, "transitions")) data.excited_states = transitions_of(*t);
  if (const json* energy = member(root, "properties")) {
    if (const json* e = member(*energy, "energy")) {
      if (const json* g = member(*e, "free energy")) {
        if (!g->is_number() || !std::isfinite(g->get<double>()))
          throw ContentError{"properties.energy.\"free energy\" as a number"};
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

}  // namespace

SpectraRead read_cjson(std::string_view text) {
  SpectraRead result;
  try {
    const json::parser_callback_t keep = [](int depth, json::parse_event_t event, json& parsed) {
      if (depth > kDepth) throw TooDeep{};
      if (event == json::parse_event_t::key && depth == 1 &&
          !kept_at_top(parsed.get<std::string>()))
        return false;
      return true;
    };
    const json root = json::parse(text.begin(), text.end(), keep);
    result.data = content_of(root);
    const Vibrations& v = result.data.vibrations;
    const std::string note = qc::left_out_note(v.imaginary_left_out, v.zero_left_out);
    if (!note.empty()) result.notes.push_back(LineListNote{1, note});
  } catch (const json::parse_error& error) {
    result = {};
    // The byte is 1-based, the last one read: the offset of the fault.
    result.error = at_offset(text, error.byte == 0 ? 0 : error.byte - 1, ReadFault::syntax,
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
    result.error = at_offset(text, 0, error.kind, error.expected);
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
