// What the output of a quantum-chemistry program holds for spectra: its
// vibrations, its excited states and its free energy, each as printed; and
// what a reader of such a file gives (the spectra reader contract of
// line_list_formats.h).
//
// Every number is the double nearest to the decimal the file prints
// (scan_decimal, then scan_to_double, or the JSON library's correctly
// rounded conversion), so the shortest text of each double is the printed
// text: "52.7882" reads as the double whose shortest digits are 52.7882.
// Nothing is converted: a position stays in the unit the file prints it in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/line_table.h"

namespace broaden {

/// The harmonic vibrations of one analysis, one entry a mode, in the order
/// of the file. `frequency` always has one entry a mode; each other column
/// is empty when the file prints no such value, else as long as
/// `frequency`.
struct Vibrations {
  std::vector<double> frequency;       ///< cm^-1, real modes only
  std::vector<double> ir_intensity;    ///< km/mol
  std::vector<double> raman_activity;  ///< A^4/amu
  /// Rotational strengths (VCD) in 10^-44 esu^2 cm^2, signed.
  std::vector<double> rotational_strength;
  /// Modes printed with a negative frequency (imaginary), left out with
  /// their values.
  std::size_t imaginary_left_out = 0;
  /// Modes printed with a zero frequency (translations and rotations some
  /// formats list), left out with their values.
  std::size_t zero_left_out = 0;

  [[nodiscard]] std::size_t size() const { return frequency.size(); }
};

/// The excited states of one calculation, one entry a state, in the order
/// of the file. Each column is empty when the file prints no such value,
/// else as long as the others that are not; at least one of the three
/// positions is printed for every state.
struct ExcitedStates {
  std::vector<double> energy_ev;      ///< excitation energy, eV
  std::vector<double> wavenumber;     ///< excitation energy, cm^-1
  std::vector<double> wavelength_nm;  ///< nm
  std::vector<double> oscillator_strength;
  /// Rotatory strengths in 10^-40 erg esu cm / Gauss (10^-40 cgs): the
  /// velocity form, the length form, and a form the file does not name
  /// (Chemical JSON's "rotatory strength").
  std::vector<double> rotatory_velocity;
  std::vector<double> rotatory_length;
  std::vector<double> rotatory_unnamed;

  /// The number of states: the length of the longest column.
  [[nodiscard]] std::size_t size() const;
};

/// The IR intensity in km/mol of a squared dipole derivative of one
/// D^2 A^-2 amu^-1 (GAMESS prints its intensities so): A = N_A / (12 eps0
/// c^2) (dmu/dQ)^2 (the SI form of the integrated absorption coefficient),
/// with 1 D = 1e-21 / c C m; N_A and c exact in the SI, eps0 and the atomic
/// mass unit the CODATA 2018 values. 42.2560616... (the 42.2561 quoted in
/// the literature); a reader multiplies each printed value by it, rounding
/// once.
inline constexpr double kKmPerMolPerDebyeSquared =
    6.02214076e23 / (12.0 * 8.8541878128e-12 * 299792458.0 * 299792458.0) *
    (1e-21 / 299792458.0 / 1e-10) * (1e-21 / 299792458.0 / 1e-10) / 1.66053906660e-27 / 1000.0;

/// Everything one file gives for spectra.
struct SpectraData {
  Vibrations vibrations;
  ExcitedStates excited_states;
  std::optional<double> free_energy;  ///< Gibbs free energy, hartree
};

/// What a spectra reader gives: the data, or the first place it could not
/// read (a table cut short, a number that does not parse, a count of values
/// that does not match its header, a layout the reader does not know) with
/// the line, the column and what was expected there; and its notes
/// ("left out 2 imaginary frequencies (printed negative)"), in the order of
/// the lines.
struct SpectraRead {
  SpectraData data;
  std::optional<LineListError> error;  ///< set: the data is to be ignored
  std::vector<LineListNote> notes;
};

/// The quantities a spectrum can be drawn from.
enum class SpectrumQuantity {
  ir_intensity,
  raman_activity,
  rotational_strength,
  oscillator_strength,
  rotatory_velocity,
  rotatory_length,
  rotatory_unnamed,
};

/// The quantity as a message names it, in the plural:
///   quantity_name(SpectrumQuantity::raman_activity) -> "Raman activities"
std::string_view quantity_name(SpectrumQuantity quantity) noexcept;

/// True when `data` holds the quantity for at least one line.
bool holds(const SpectraData& data, SpectrumQuantity quantity) noexcept;

/// What `data` holds, in prose, for a message: the quantities it holds in
/// the order of SpectrumQuantity, oscillator strengths named as "excited
/// states", then "frequencies without intensities" or "excited states
/// without strengths" where a file gives only positions, and "a free
/// energy"; "nothing" when it holds none of these.
///   {IR intensities, oscillator strengths} -> "IR intensities, excited states"
std::string holdings(const SpectraData& data);

/// The message for a file without the quantity asked for:
///   holds_none_message("dvb.log", data, SpectrumQuantity::raman_activity)
///     -> "dvb.log holds no Raman activities (it holds: IR intensities, excited states)"
std::string holds_none_message(std::string_view file, const SpectraData& data,
                               SpectrumQuantity quantity);

}  // namespace broaden
