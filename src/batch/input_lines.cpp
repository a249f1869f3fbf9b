#include "batch/input_lines.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "batch/batch.h"
#include "batch/spectrum_kinds.h"
#include "numbers/double_to_shortest.h"
#include "records/columns_reader.h"
#include "records/line_list_formats.h"
#include "records/spectra_data.h"
#include "text/quoted.h"

namespace broaden {

std::string shown_input(const std::string& name) {
  return name == "-" ? "standard input" : escaped(name);
}
std::string quoted_input(const std::string& name) {
  return name == "-" ? "standard input" : quoted(name);
}

namespace {

// Sets line k's intensity to value 2^exponent: a double where that loses
// nothing, else the two kept apart (intensity_exponent).
void set_scaled(InputLines& lines, std::size_t k, double value, int exponent) {
  const double folded = std::ldexp(value, exponent);
  if (std::isnormal(folded) || value == 0.0) {
    lines.table.intensity[k] = folded;
    if (!lines.intensity_exponent.empty()) lines.intensity_exponent[k] = 0;
    return;
  }
  if (lines.intensity_exponent.empty())
    lines.intensity_exponent.assign(lines.table.intensity.size(), 0);
  lines.table.intensity[k] = value;
  lines.intensity_exponent[k] = exponent;
}

// Converts the intensities of `lines` from `from` on: intensity k by
// plain(v, k) where that is a double (as it always was), else as with no
// limit on the exponent: scaled(m, k), the conversion of its mantissa m in
// [0.5, 1) (a linear conversion commutes with powers of two), the exponents
// added. False where even a mantissa's conversion is beyond the doubles.
template <class Plain, class Scaled>
bool convert_intensities(InputLines& lines, std::size_t from, const Plain& plain,
                         const Scaled& scaled) {
  std::vector<double>& intensity = lines.table.intensity;
  for (std::size_t k = from; k < intensity.size(); ++k) {
    const int before = lines.intensity_exponent.empty() ? 0 : lines.intensity_exponent[k];
    if (before == 0) {
      const double result = plain(intensity[k], k);
      if (std::isfinite(result)) {
        intensity[k] = result;
        continue;
      }
    }
    int exponent = 0;
    const double mantissa = std::frexp(intensity[k], &exponent);
    const ScaledValue result = scaled(mantissa, k);
    if (!std::isfinite(result.value)) return false;
    set_scaled(lines, k, result.value, result.exponent + exponent + before);
  }
  return true;
}

// Multiplies the intensities of `lines` from `from` on by `factor`, each
// product rounded once (convert_intensities).
void multiply_intensities(InputLines& lines, std::size_t from, double factor) {
  convert_intensities(
      lines, from, [&](double v, std::size_t) { return v * factor; },
      [&](double m, std::size_t) {
        return ScaledValue{m * factor, 0};
      });
}

// A reader's error as the one-line failure "NAME:LINE:COLUMN: expected ...".
BatchFailure read_failure(const std::string& input, const LineListError& error) {
  return BatchFailure{kBatchFailed, shown_input(input) + ":" + std::to_string(error.line) + ":" +
                                        std::to_string(error.column) + ": expected " +
                                        error.expected};
}

// The kinds of spectrum `data` gives without --spectrum.
std::vector<SpectrumKind> kinds_held(const SpectraData& data) {
  // An excited-state output gives its absorption, whatever else it holds;
  // its ecd only when asked (or where it holds nothing else).
  if (holds(data, SpectrumQuantity::oscillator_strength)) return {SpectrumKind::uv};
  std::vector<SpectrumKind> kinds;
  if (holds(data, SpectrumQuantity::ir_intensity)) kinds.push_back(SpectrumKind::ir);
  if (holds(data, SpectrumQuantity::raman_activity)) kinds.push_back(SpectrumKind::raman);
  // Rotational strengths come with IR intensities: vcd only when asked (or alone).
  if (kinds.empty() && holds(data, SpectrumQuantity::rotational_strength))
    kinds.push_back(SpectrumKind::vcd);
  if (kinds.empty() && (holds(data, SpectrumQuantity::rotatory_velocity) ||
                        holds(data, SpectrumQuantity::rotatory_length) ||
                        holds(data, SpectrumQuantity::rotatory_unnamed)))
    kinds.push_back(SpectrumKind::ecd);
  return kinds;
}

// The quantity of `kind` a spectrum is drawn from: for ecd the form asked
// for, or the unnamed one where the file names none.
SpectrumQuantity quantity_of(SpectrumKind kind, const SpectraData& data,
                             const BatchOptions& options) {
  switch (kind) {
    case SpectrumKind::ir:
      return SpectrumQuantity::ir_intensity;
    case SpectrumKind::raman:
      return SpectrumQuantity::raman_activity;
    case SpectrumKind::uv:
      return SpectrumQuantity::oscillator_strength;
    case SpectrumKind::vcd:
      return SpectrumQuantity::rotational_strength;
    case SpectrumKind::ecd:
      break;
  }
  const SpectrumQuantity asked = options.rotatory == RotatoryForm::length
                                     ? SpectrumQuantity::rotatory_length
                                     : SpectrumQuantity::rotatory_velocity;
  if (holds(data, asked)) return asked;
  if (holds(data, SpectrumQuantity::rotatory_unnamed)) return SpectrumQuantity::rotatory_unnamed;
  // Without --rotatory, the form the file holds (a file of the length form only).
  if (!options.rotatory_given && holds(data, SpectrumQuantity::rotatory_length))
    return SpectrumQuantity::rotatory_length;
  return asked;
}

const std::vector<double>& column_of(const SpectraData& data, SpectrumQuantity quantity) {
  const ExcitedStates& states = data.excited_states;
  switch (quantity) {
    case SpectrumQuantity::ir_intensity:
      return data.vibrations.ir_intensity;
    case SpectrumQuantity::raman_activity:
      return data.vibrations.raman_activity;
    case SpectrumQuantity::rotational_strength:
      return data.vibrations.rotational_strength;
    case SpectrumQuantity::oscillator_strength:
      return states.oscillator_strength;
    case SpectrumQuantity::rotatory_velocity:
      return states.rotatory_velocity;
    case SpectrumQuantity::rotatory_length:
      return states.rotatory_length;
    case SpectrumQuantity::rotatory_unnamed:
      break;
  }
  return states.rotatory_unnamed;
}

// An excited state's energy in eV, from whichever form the file prints.
double state_energy(const ExcitedStates& states, std::size_t k) {
  if (!states.energy_ev.empty()) return states.energy_ev[k];
  if (!states.wavenumber.empty())
    return converted(states.wavenumber[k], AxisUnit::per_centimetre, AxisUnit::electronvolt);
  return converted(states.wavelength_nm[k], AxisUnit::nanometre, AxisUnit::electronvolt);
}

// The intensities of `lines`, of `kind`, converted as --units epsilon asks
// (spectrum_kinds.h); a Raman cross-section too large for the doubles
// whatever the activity, with a laser far beyond the lines, is refused.
void convert_to_epsilon(InputLines& lines, SpectrumKind kind, const BatchOptions& options,
                        const std::string& name) {
  const std::vector<double>& position = lines.table.frequency;
  const auto divided = [&](double divisor) {
    return convert_intensities(
        lines, 0, [&](double v, std::size_t) { return v / divisor; },
        [&](double m, std::size_t) {
          return ScaledValue{m / divisor, 0};
        });
  };
  bool converted = true;
  switch (kind) {
    case SpectrumKind::ir:
      multiply_intensities(lines, 0, kIrEpsilonPerKmPerMol);
      break;
    case SpectrumKind::raman:
      if (options.laser > 0.0)
        converted = convert_intensities(
            lines, 0,
            [&](double v, std::size_t k) {
              return raman_cross_section(position[k], v, options.laser, options.kelvin);
            },
            [&](double m, std::size_t k) {
              return raman_cross_section_scaled(position[k], m, options.laser, options.kelvin);
            });
      break;
    case SpectrumKind::uv:
      // Per eV: the integral over wavenumber is kWavenumbersPerEv times that over eV.
      converted = divided(kOscillatorPerEpsilon * kWavenumbersPerEv);
      break;
    case SpectrumKind::ecd:
      // As (v 1e-40) / (kRotatoryPerDeltaEpsilon kWavenumbersPerEv), which never overflows.
      for (double& v : lines.table.intensity)
        v = v * 1e-40 / (kRotatoryPerDeltaEpsilon * kWavenumbersPerEv);
      lines.times_wavenumber = true;
      break;
    case SpectrumKind::vcd:
      // Broadened in cm-1: delta epsilon = nu (v 1e-44) / kRotatoryPerDeltaEpsilon per profile.
      for (double& v : lines.table.intensity) v = v * 1e-44 / kRotatoryPerDeltaEpsilon;
      lines.times_wavenumber = true;
      break;
  }
  if (!converted)
    throw BatchFailure{kBatchFailed, "the Raman cross-sections of " + name + " at --laser " +
                                         shortest(options.laser) +
                                         " cm-1 lie beyond the largest double"};
}

// The kind of spectrum asked for, or the one kind `data` holds; refused
// where it holds none or several, or where --laser or --rotatory do not fit it.
SpectrumKind output_kind(const SpectraData& data, const BatchOptions& options,
                         const std::string& name) {
  SpectrumKind kind = SpectrumKind::ir;
  if (options.spectrum) {
    kind = *options.spectrum;
  } else {
    const std::vector<SpectrumKind> kinds = kinds_held(data);
    if (kinds.empty())
      throw BatchFailure{kBatchFailed,
                         name + " holds no spectrum (it holds: " + holdings(data) + ")"};
    if (kinds.size() > 1) {
      std::string choices;
      for (std::size_t k = 0; k < kinds.size(); ++k)
        choices += std::string(k == 0                  ? ""
                               : k + 1 == kinds.size() ? " or "
                                                       : ", ") +
                   "--spectrum " + std::string(spectrum_kind_row(kinds[k]).name);
      throw BatchFailure{kBatchFailed, name + " holds " + holdings(data) + ": give " + choices};
    }
    kind = kinds.front();
  }
  for (const auto& [given, what, fits] :
       {std::tuple{options.laser > 0.0, "--laser", SpectrumKind::raman},
        {options.rotatory_given, "--rotatory", SpectrumKind::ecd}}) {
    if (given && kind != fits)
      throw BatchFailure{kBatchUsageError, std::string(what) + " is for --spectrum " +
                                               std::string(spectrum_kind_row(fits).name) +
                                               ", and " + name + " gives --spectrum " +
                                               std::string(spectrum_kind_row(kind).name)};
  }
  return kind;
}

// The position of line k of `data` for a spectrum of `kind` as the file
// prints it, in eV for an excited state (converted where it prints none),
// its printed form kept in `lines` (printed, printed_unit) for the sticks.
double printed_position(const SpectraData& data, SpectrumKind kind, std::size_t k,
                        InputLines& lines) {
  const ExcitedStates& states = data.excited_states;
  if (kind == SpectrumKind::ir || kind == SpectrumKind::raman || kind == SpectrumKind::vcd) {
    lines.printed_unit = AxisUnit::per_centimetre;
    lines.printed.push_back(data.vibrations.frequency[k]);
    return data.vibrations.frequency[k];
  }
  lines.printed_unit = !states.energy_ev.empty()    ? AxisUnit::electronvolt
                       : !states.wavenumber.empty() ? AxisUnit::per_centimetre
                                                    : AxisUnit::nanometre;
  lines.printed.push_back(lines.printed_unit == AxisUnit::electronvolt ? states.energy_ev[k]
                          : lines.printed_unit == AxisUnit::per_centimetre
                              ? states.wavenumber[k]
                              : states.wavelength_nm[k]);
  return state_energy(states, k);
}

// Refuses a position that is not finite once scaled and shifted, and for
// Raman cross-sections one at or below zero or at or beyond the laser.
void check_position(double position, SpectrumKind kind, const BatchOptions& options,
                    const std::string& name) {
  if (!std::isfinite(position))
    throw BatchFailure{kBatchFailed,
                       "a position of " + name + " does not stay finite once scaled and shifted"};
  if (kind != SpectrumKind::raman || !(options.laser > 0.0)) return;
  if (!(position > 0.0))
    throw BatchFailure{kBatchFailed, "a line of " + name + " lies at " + shortest(position) +
                                         " cm-1 once scaled and shifted: a Raman cross-section "
                                         "needs a wavenumber above zero"};
  if (!(position < options.laser))
    throw BatchFailure{kBatchFailed, "a line of " + name + " at " + shortest(position) +
                                         " cm-1 lies at or beyond the laser's wavenumber"};
}

// The quantities the header names: the curve's and the sticks' (a stick
// carries its line's area: with epsilon that of the curve times the unit it
// is broadened in); Raman activities with epsilon but no laser noted, and
// Raman cross-sections asked for as epsilon.
void name_quantities(InputLines& result, SpectrumKind kind, const BatchOptions& options,
                     std::vector<Message>& messages) {
  const SpectrumKindRow& row = spectrum_kind_row(kind);
  const bool cross_sections = kind == SpectrumKind::raman && options.laser > 0.0;
  result.converted_units = options.epsilon && (kind != SpectrumKind::raman || cross_sections);
  result.intensity = std::string(result.converted_units ? row.epsilon : row.native);
  result.sticks_intensity = result.intensity;
  if (result.converted_units && !cross_sections)
    result.sticks_intensity.append("*").append(axis_row(row.broadening).symbol);
  if (options.epsilon && kind == SpectrumKind::raman && !cross_sections && !options.quiet)
    messages.push_back(RamanWithoutLaser{});
  if (cross_sections && options.epsilon && !options.cross_section && !options.quiet)
    messages.push_back(EpsilonCrossSections{});
}

// The lines of a quantum-chemistry output's spectrum: the one asked for, or
// the one it holds; positions multiplied by --scale, then shifted; with
// --units epsilon the intensities converted (spectrum_kinds.h).
InputLines spectrum_lines(const LineListFormat& format, std::string_view text,
                          const std::string& input, const BatchOptions& options,
                          std::vector<Message>& messages) {
  const SpectraRead read = format.read_spectra(text);
  if (read.error) throw read_failure(input, *read.error);
  if (!options.quiet)
    for (const LineListNote& note : read.notes)
      messages.push_back(ReaderNote{input, note.line, note.text, true});
  const std::string name = quoted_input(input);
  const SpectrumKind kind = output_kind(read.data, options, name);
  const SpectrumKindRow& row = spectrum_kind_row(kind);
  const SpectrumQuantity quantity = quantity_of(kind, read.data, options);
  if (!holds(read.data, quantity))
    throw BatchFailure{kBatchFailed, holds_none_message(name, read.data, quantity)};
  InputLines result;
  result.kind = kind;
  result.broadening = row.broadening;
  result.free_energy = read.data.free_energy;
  const std::vector<double>& strength = column_of(read.data, quantity);
  for (std::size_t k = 0; k < strength.size(); ++k) {
    const double position =
        printed_position(read.data, kind, k, result) * options.scale + options.shift;
    check_position(position, kind, options, name);
    result.table.push_back(Peak{position, strength[k]});
  }
  if (options.epsilon) convert_to_epsilon(result, kind, options, name);
  name_quantities(result, kind, options, messages);
  return result;
}

// An output's lines, recognised from its content: where its reading fails
// on a text that reads as a columns line list with lines, as a list whose
// comment or header looks like an output would, the message says so.
InputLines recognised_lines(const LineListFormat& format, std::string_view text,
                            const std::string& input, const BatchOptions& options,
                            std::vector<Message>& messages) {
  try {
    return spectrum_lines(format, text, input, options, messages);
  } catch (BatchFailure& failure) {
    const LineListRead columns = read_columns(text, LineListOptions{});
    if (failure.status == kBatchFailed && !columns.error && !columns.table.frequency.empty())
      failure.message += "; it was read as " + std::string(format.summary) +
                         ": if it is a columns line list, give --input columns";
    throw;
  }
}

// The input read in the format --input names (or recognised from its
// content): a line list's table, or the lines of an output's spectrum; or
// the failure "NAME:LINE:COLUMN: expected ...". A line list's notes go to
// `err`, "broaden-batch: note: NAME:LINE: ...", an output's as warnings.
InputLines read_lines(std::string_view text, const std::string& input, const BatchOptions& options,
                      std::vector<Message>& messages) {
  const LineListFormat& format =
      options.input == "auto" ? recognise_input(text) : *find_input_format(options.input);
  if (format.read_spectra != nullptr) {
    for (const auto& [given, what] :
         {std::pair{options.columns_given, "--columns"}, {options.syntax_given, "--delimiter"}}) {
      if (given)
        throw BatchFailure{kBatchUsageError,
                           std::string(what) + " is for a columns line list, and " +
                               quoted_input(input) + " is " + std::string(format.summary)};
    }
    InputLines lines = options.input == "auto"
                           ? recognised_lines(format, text, input, options, messages)
                           : spectrum_lines(format, text, input, options, messages);
    lines.format = format.name;
    return lines;
  }
  for (const auto& [given, what] :
       {std::pair{options.spectrum.has_value(), "--spectrum"},
        {options.epsilon, options.cross_section ? "--units cross-section" : "--units epsilon"},
        {options.laser > 0.0, "--laser"},
        {options.rotatory_given, "--rotatory"}}) {
    if (given)
      throw BatchFailure{kBatchUsageError, std::string(what) +
                                               " is for the outputs of quantum-chemistry programs, "
                                               "and " +
                                               quoted_input(input) + " is a line list"};
  }
  const WidthRange widths = accepted_widths(options.width_divisor);
  LineListRead read = format.read(text, LineListOptions{.columns = options.columns,
                                                        .frequency_scale = options.scale,
                                                        .width_divisor = options.width_divisor,
                                                        .width_low = widths.low,
                                                        .width_high = widths.high,
                                                        .keep_infinities = options.classic});
  if (read.error) throw read_failure(input, *read.error);
  if (!options.quiet)
    for (const LineListNote& note : read.notes)
      messages.push_back(ReaderNote{input, note.line, note.text, false});
  InputLines result;
  result.format = format.name;
  result.table = std::move(read.table);
  // Broadened in eV where the positions are, else in cm-1.
  result.broadening = options.line_unit == AxisUnit::electronvolt ? AxisUnit::electronvolt
                                                                  : AxisUnit::per_centimetre;
  if (options.line_unit == result.broadening && options.shift == 0.0) return result;
  for (double& position : result.table.frequency) {
    position = converted(position, options.line_unit, result.broadening) + options.shift;
    if (!std::isfinite(position))
      throw BatchFailure{kBatchFailed, "a position of " + quoted_input(input) +
                                           " does not stay finite once converted and shifted"};
  }
  return result;
}

// Refuses files that give different kinds of spectrum (or mix line lists
// and outputs).
void check_one_kind(const std::vector<InputLines>& reads, const BatchOptions& options) {
  const auto gives = [](const InputLines& read) {
    return read.kind ? "gives --spectrum " + std::string(spectrum_kind_row(*read.kind).name)
                     : std::string("is a line list");
  };
  for (std::size_t f = 1; f < reads.size(); ++f) {
    if (reads[f].kind != reads.front().kind)
      throw BatchFailure{kBatchFailed, quoted_input(options.inputs[f]) + " " + gives(reads[f]) +
                                           ", and " + quoted_input(options.inputs.front()) + " " +
                                           gives(reads.front()) +
                                           ": the files summed must give one kind of spectrum"};
  }
}

// The inputs' energies for --boltzmann, as their populations (weights to
// come): the table's (its note where outputs hold free energies too), else
// the outputs' free energies; `hartree` set to the energies the weights are
// of, in hartree.
Populations energies_of(const std::vector<InputLines>& reads, const BatchOptions& options,
                        const InputEnergies* table, std::vector<double>& hartree,
                        std::vector<Message>& messages) {
  Populations populations{options.boltzmann, {}, &kShownEnergyUnit, {}};
  if (table != nullptr) {
    populations.table = table->table;
    populations.unit = table->unit;
    const std::size_t outputs = static_cast<std::size_t>(std::count_if(
        reads.begin(), reads.end(), [](const InputLines& read) { return read.free_energy; }));
    if (outputs > 0 && !options.quiet) messages.push_back(TableEnergiesUsed{table->table, outputs});
  }
  for (std::size_t f = 0; f < reads.size(); ++f) {
    if (table == nullptr && !reads[f].free_energy)
      throw BatchFailure{kBatchFailed,
                         "--boltzmann weights the files by their free energies, and " +
                             quoted_input(options.inputs[f]) + " holds none"};
    const double energy = table != nullptr ? table->energy[f] : *reads[f].free_energy;
    populations.rows.push_back({options.inputs[f], energy, 0.0, 0.0});
  }
  const double lowest =
      std::min_element(populations.rows.begin(), populations.rows.end(),
                       [](const auto& a, const auto& b) { return a.energy < b.energy; })
          ->energy;
  hartree.clear();
  for (Populations::Row& row : populations.rows) {
    // The free energies as they are (hartree); a table's taken from the lowest in its unit first.
    row.above = row.energy - lowest;
    hartree.push_back(table != nullptr ? row.above / table->unit->per_hartree : row.energy);
    if (table == nullptr) row.above *= kShownEnergyUnit.per_hartree;
  }
  return populations;
}

// The files' weights: --weights, or with --boltzmann those of their energies
// (energies_of; their populations, and a weight of 0, told); empty with
// neither.
std::vector<double> weights_of(const std::vector<InputLines>& reads, const BatchOptions& options,
                               const InputEnergies* table, std::optional<Populations>& populations,
                               std::vector<Message>& messages) {
  if (!(options.boltzmann > 0.0)) return options.weights;
  std::vector<double> energies;
  populations = energies_of(reads, options, table, energies, messages);
  std::vector<double> weights = boltzmann_weights(energies, options.boltzmann);
  for (std::size_t f = 0; f < weights.size(); ++f) populations->rows[f].weight = weights[f];
  if (options.quiet) return weights;
  messages.push_back(*populations);
  const double lowest = *std::min_element(energies.begin(), energies.end());
  for (std::size_t f = 0; f < weights.size(); ++f) {
    if (weights[f] == 0.0)
      messages.push_back(WeighsNothing{options.inputs[f], options.boltzmann, energies[f] - lowest});
  }
  return weights;
}

// Tells the files without lines, and the files named more than once.
void tell_inputs(const std::vector<InputLines>& reads, const BatchOptions& options,
                 std::vector<Message>& messages) {
  if (options.quiet) return;
  for (std::size_t f = 0; f < reads.size(); ++f) {
    if (reads[f].table.frequency.empty()) messages.push_back(NoLines{options.inputs[f]});
  }
  const auto begin = options.inputs.begin();
  for (std::size_t f = 1; f < options.inputs.size(); ++f) {
    const auto at = begin + static_cast<std::ptrdiff_t>(f);
    if (options.inputs[f] != "-" && std::find(begin, at, options.inputs[f]) != at)
      messages.push_back(GivenTwice{options.inputs[f]});
  }
}

// Appends `more`'s lines to `sum`'s, both at one power of two (the larger).
void append_lines(InputLines& sum, InputLines& more) {
  LineTable& table = sum.table;
  if (!sum.intensity_exponent.empty() || !more.intensity_exponent.empty()) {
    sum.intensity_exponent.resize(table.intensity.size(), 0);
    more.intensity_exponent.resize(more.table.intensity.size(), 0);
    sum.intensity_exponent.insert(sum.intensity_exponent.end(), more.intensity_exponent.begin(),
                                  more.intensity_exponent.end());
  }
  table.frequency.insert(table.frequency.end(), more.table.frequency.begin(),
                         more.table.frequency.end());
  table.intensity.insert(table.intensity.end(), more.table.intensity.begin(),
                         more.table.intensity.end());
  // One column layout reads every file: each gives widths, or none does.
  table.width.insert(table.width.end(), more.table.width.begin(), more.table.width.end());
  // The sticks give the positions as printed only where every file prints them alike.
  if (more.printed.empty() || more.printed_unit != sum.printed_unit)
    sum.printed.clear();
  else if (!sum.printed.empty())
    sum.printed.insert(sum.printed.end(), more.printed.begin(), more.printed.end());
}

// The inputs' fields for the tsv comment line (see summed_inputs).
HeaderFields inputs_header(const std::optional<Populations>& populations,
                           const std::vector<double>& weights, const BatchOptions& options,
                           std::size_t lines) {
  HeaderFields header;
  for (std::size_t f = 0; f < options.inputs.size(); ++f) {
    const std::string& name = options.inputs[f];
    // quoted(): the comment line stays one line, and free of terminal
    // escapes, whatever the input's name holds.
    header.add("input", name == "-" ? std::string("-") : quoted(name));
    const Populations::Row* row = populations ? &populations->rows[f] : nullptr;
    const std::string unit(populations ? populations->unit->symbol : "");
    if (row != nullptr && populations->table.empty())
      header.add("free_energy", shortest(row->energy));
    else if (row != nullptr)
      header.add("energy", shortest(row->energy) + unit);
    // Several files name their weights, 1 where none are given.
    if (!weights.empty())
      header.add("weight", shortest(weights[f]));
    else if (options.inputs.size() > 1)
      header.add("weight", "1");
    if (row != nullptr) header.add("relative_energy", shortest(row->above) + unit);
  }
  header.add("lines", std::to_string(lines));
  return header;
}

}  // namespace

InputLines summed_inputs(std::vector<InputLines> reads, const BatchOptions& options,
                         HeaderFields& header, std::vector<Message>& messages,
                         const InputEnergies* energies) {
  check_one_kind(reads, options);
  std::optional<Populations> populations;
  std::vector<double> weights = weights_of(reads, options, energies, populations, messages);
  tell_inputs(reads, options, messages);
  InputLines sum = std::move(reads.front());
  const auto weigh = [&](std::size_t from, std::size_t f) {
    if (!weights.empty()) multiply_intensities(sum, from, weights[f]);
  };
  weigh(0, 0);
  for (std::size_t f = 1; f < reads.size(); ++f) {
    const std::size_t from = sum.table.frequency.size();
    append_lines(sum, reads[f]);
    weigh(from, f);
  }
  header = inputs_header(populations, weights, options, sum.table.frequency.size());
  sum.weights = std::move(weights);
  return sum;
}

InputLines read_input_lines(std::string_view text, const std::string& name,
                            const BatchOptions& options, std::vector<Message>& messages) {
  return read_lines(text, name, options, messages);
}

AxisUnit axis_of(const InputLines& lines, const BatchOptions& options) noexcept {
  return options.axis.value_or(lines.kind ? spectrum_kind_row(*lines.kind).default_axis
                                          : options.line_unit);
}

Sticks sticks_of(const InputLines& lines, const BatchOptions& options, AxisUnit axis) {
  const LineTable& table = lines.table;
  Sticks sticks{table.frequency, table.intensity};
  if (axis == lines.printed_unit && !lines.printed.empty() && options.scale == 1.0 &&
      options.shift == 0.0)
    sticks.position = lines.printed;
  else if (axis != lines.broadening)
    for (double& p : sticks.position) p = converted(p, lines.broadening, axis);
  if (lines.times_wavenumber)
    for (std::size_t k = 0; k < sticks.intensity.size(); ++k)
      sticks.intensity[k] *=
          converted(table.frequency[k], lines.broadening, AxisUnit::per_centimetre);
  for (std::size_t k = 0; k < lines.intensity_exponent.size(); ++k)
    sticks.intensity[k] = std::ldexp(sticks.intensity[k], lines.intensity_exponent[k]);
  return sticks;
}

}  // namespace broaden
