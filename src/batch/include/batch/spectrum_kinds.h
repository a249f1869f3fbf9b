// The spectra drawn from quantum-chemistry outputs: their kinds, the axes a
// spectrum is drawn on, and the conversions between them, each constant
// from its source.
#pragma once

#include <numbers>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "batch/options.h"

namespace broaden {

/// The SI defining constants (exact since 2019) and the CODATA 2018
/// recommended values, in SI units.
namespace si {
inline constexpr double kPlanck = 6.62607015e-34;                ///< J s, exact
inline constexpr double kLight = 299792458.0;                    ///< m s^-1, exact
inline constexpr double kElementaryCharge = 1.602176634e-19;     ///< C, exact
inline constexpr double kAvogadro = 6.02214076e23;               ///< mol^-1, exact
inline constexpr double kBoltzmann = 1.380649e-23;               ///< J K^-1, exact
inline constexpr double kElectronMass = 9.1093837015e-31;        ///< kg, CODATA 2018
inline constexpr double kVacuumPermittivity = 8.8541878128e-12;  ///< F m^-1, CODATA 2018
inline constexpr double kAtomicMassUnit = 1.66053906660e-27;     ///< kg, CODATA 2018
inline constexpr double kHartree = 4.3597447222071e-18;          ///< J, CODATA 2018
/// The thermochemical calorie, J, exact by definition (ISO 80000-5:2019;
/// NIST SP 811, 2008, B.8): the kilocalorie of "kcal/mol".
inline constexpr double kThermochemicalCalorie = 4.184;
}  // namespace si

/// h c / e in eV nm: a photon of E eV has the wavelength kEvNanometre / E nm
/// (1239.84198433...).
inline constexpr double kEvNanometre = si::kPlanck * si::kLight / si::kElementaryCharge * 1e9;
/// e / (100 h c): 1 eV is kWavenumbersPerEv cm^-1 (8065.54393734...).
inline constexpr double kWavenumbersPerEv =
    si::kElementaryCharge / (100.0 * si::kPlanck * si::kLight);

/// The units of an axis, by --axis's names (in either case): "cm-1", "ev",
/// "nm", "um".
struct AxisRow {
  AxisUnit unit;
  std::string_view name;
  std::string_view label;   ///< the plot's axis label, "wavenumber / cm⁻¹" (UTF-8)
  std::string_view symbol;  ///< the unit as messages write it, "eV"
  bool energy;              ///< proportional to a photon's energy: a width may be given in it
};
inline constexpr AxisRow kAxes[] = {
    {AxisUnit::per_centimetre, "cm-1", "wavenumber / cm⁻¹", "cm-1", true},
    {AxisUnit::electronvolt, "ev", "energy / eV", "eV", true},
    {AxisUnit::nanometre, "nm", "wavelength / nm", "nm", false},
    {AxisUnit::micrometre, "um", "wavelength / µm", "µm", false},
};
const AxisRow& axis_row(AxisUnit unit) noexcept;

/// A value on axis `from` in unit `to`, by the constants above, one
/// operation each way (wavelengths and energies are inverse; a wavelength in
/// micrometres is 10^4 / its wavenumber in cm-1):
///   converted(1239.8419843320025, nm, electronvolt) -> 1
///   converted(1000, per_centimetre, micrometre)     -> 10
///   converted(1, electronvolt, per_centimetre)      -> 8065.543937349212
///   converted(x, u, u) -> x
double converted(double value, AxisUnit from, AxisUnit to) noexcept;

/// `profile` with its widths (sigma, gamma, fwhm), given in `from` (none:
/// already in `to`), in the energy unit `to`: each multiplied by
/// converted(1, from, to).
///   {gaussian, sigma 0.1}, from eV, to cm-1 -> sigma 806.5543937349212
ProfileParameters profile_in_unit(ProfileParameters profile, std::optional<AxisUnit> from,
                                  AxisUnit to) noexcept;

/// One kind of spectrum: what a line's position and intensity are, the unit
/// the lines are broadened in (an energy) and the default axis.
struct SpectrumKindRow {
  SpectrumKind kind;
  std::string_view name;  ///< as --spectrum takes it
  AxisUnit broadening;    ///< per_centimetre or electronvolt
  AxisUnit default_axis;
  std::string_view native;         ///< the file's quantity, for the tsv header
  std::string_view native_label;   ///< the plot's y label with --units native
  std::string_view epsilon;        ///< the quantity with --units epsilon
  std::string_view epsilon_label;  ///< the plot's y label with --units epsilon
  bool zero_line;                  ///< spectra of either sign
  /// The sticks' axis label (a stick carries its line's area, as the
  /// sticks' header names it): native, and with --units epsilon.
  std::string_view native_sticks_label;
  std::string_view epsilon_sticks_label;
};
inline constexpr SpectrumKindRow kSpectrumKinds[] = {
    {SpectrumKind::ir, "ir", AxisUnit::per_centimetre, AxisUnit::per_centimetre, "km/mol",
     "IR intensity / km mol⁻¹ per cm⁻¹", "epsilon/(L/mol/cm)", "ε / L mol⁻¹ cm⁻¹", false,
     "IR intensity / km mol⁻¹", "ε × cm⁻¹ / L mol⁻¹ cm⁻²"},
    {SpectrumKind::raman, "raman", AxisUnit::per_centimetre, AxisUnit::per_centimetre, "A^4/amu",
     "Raman activity / Å⁴ amu⁻¹ per cm⁻¹", "dsigma/dOmega/(cm^2/sr)",
     "cross section / cm² sr⁻¹ per cm⁻¹", false, "Raman activity / Å⁴ amu⁻¹",
     "cross section / cm² sr⁻¹"},
    {SpectrumKind::uv, "uv", AxisUnit::electronvolt, AxisUnit::nanometre, "oscillator strength",
     "oscillator strength per eV", "epsilon/(L/mol/cm)", "ε / L mol⁻¹ cm⁻¹", false,
     "oscillator strength f", "ε × eV / L mol⁻¹ cm⁻¹ eV"},
    {SpectrumKind::ecd, "ecd", AxisUnit::electronvolt, AxisUnit::nanometre,
     "rotatory strength/(1e-40 esu^2 cm^2)", "rotatory strength / 10⁻⁴⁰ esu² cm² per eV",
     "delta epsilon/(L/mol/cm)", "Δε / L mol⁻¹ cm⁻¹", true, "rotatory strength R / 10⁻⁴⁰ esu² cm²",
     "Δε × eV / L mol⁻¹ cm⁻¹ eV"},
    {SpectrumKind::vcd, "vcd", AxisUnit::per_centimetre, AxisUnit::per_centimetre,
     "rotational strength/(1e-44 esu^2 cm^2)", "rotational strength / 10⁻⁴⁴ esu² cm² per cm⁻¹",
     "delta epsilon/(L/mol/cm)", "Δε / L mol⁻¹ cm⁻¹", true,
     "rotational strength R / 10⁻⁴⁴ esu² cm²", "Δε × cm⁻¹ / L mol⁻¹ cm⁻²"},
};
const SpectrumKindRow& spectrum_kind_row(SpectrumKind kind) noexcept;

/// --units epsilon, infrared: the decadic molar absorption coefficient whose
/// integral over wavenumber is (100 / ln 10) L mol^-1 cm^-2 per km mol^-1 of
/// intensity (1 km/mol = 10^5 cm/mol, 1 L = 1000 cm^3): 43.429448190325...
inline constexpr double kIrEpsilonPerKmPerMol = 100.0 / std::numbers::ln10;

/// f = kOscillatorPerEpsilon * (integral of epsilon over wavenumber), epsilon
/// in L mol^-1 cm^-1, wavenumbers in cm^-1: 4 ln 10 eps0 m_e c^2 / (N_A e^2)
/// in SI (m^2 mol^-1, m^-1), times 10 for these units: 4.31899918e-9
/// mol L^-1 cm^2.
inline constexpr double kOscillatorPerEpsilon =
    4.0 * std::numbers::ln10 * si::kVacuumPermittivity * si::kElectronMass * si::kLight *
    si::kLight / (si::kAvogadro * si::kElementaryCharge * si::kElementaryCharge) * 10.0;

/// R = kRotatoryPerDeltaEpsilon * (integral of delta epsilon / wavenumber over
/// wavenumber), R in esu^2 cm^2 (erg esu cm / G), delta epsilon in
/// L mol^-1 cm^-1: 3 h c ln 10 * 1000 cm^3 L^-1 / (32 pi^3 N_A) in cgs
/// (h in erg s, c in cm s^-1): 2.29648269e-39, the 2.296e-39 of the
/// literature (P. J. Stephens, N. Harada, Chirality 22, 229 (2010)). One
/// relation for an electronic (ecd, R in 10^-40 esu^2 cm^2) and a
/// vibrational (vcd, R in 10^-44 esu^2 cm^2) transition.
inline constexpr double kRotatoryPerDeltaEpsilon =
    3.0 * (si::kPlanck * 1e7) * (si::kLight * 100.0) * std::numbers::ln10 * 1000.0 /
    (32.0 * std::numbers::pi * std::numbers::pi * std::numbers::pi * si::kAvogadro);

/// The differential Raman cross-section of a line (D. A. Long, The Raman
/// Effect, 2002; P. L. Polavarapu, J. Phys. Chem. 94, 8106 (1990)):
///   dsigma/dOmega = kRamanCrossSection * (nu0 - nu)^4 S / (nu (1 - exp(-h c nu / (k T))))
/// in cm^2 sr^-1, nu0 the laser's and nu the line's wavenumber in cm^-1, S
/// the activity in A^4/amu, T in kelvin; kRamanCrossSection = (2 pi)^4 h /
/// (45 * 8 pi^2 c) with h, c in cgs, times 10^-32 cm^4 / (1 amu in g):
/// 5.8385292e-46.
inline constexpr double kRamanCrossSection =
    16.0 * std::numbers::pi * std::numbers::pi * std::numbers::pi * std::numbers::pi *
    (si::kPlanck * 1e7) /
    (45.0 * 8.0 * std::numbers::pi * std::numbers::pi * (si::kLight * 100.0)) * 1e-32 /
    (si::kAtomicMassUnit * 1e3);
/// h c / k in cm K (the second radiation constant): 1.4387768775...
inline constexpr double kSecondRadiation = si::kPlanck * si::kLight * 100.0 / si::kBoltzmann;

/// A value that may lie beyond the doubles' range: value 2^exponent.
struct ScaledValue {
  double value = 0.0;
  int exponent = 0;
};

/// The cross-section of one line (as kRamanCrossSection states) as a scaled
/// value, the same steps on the scattered wavenumber scaled into [1, 2), so
/// that it is rounded as with no limit on the exponent:
///   raman_cross_section_scaled(1000, 2, 1e300, 298.15) -> {about 2.9e-49, 3984}
ScaledValue raman_cross_section_scaled(double wavenumber, double activity, double laser,
                                       double kelvin) noexcept;

/// The cross-section of one line (as kRamanCrossSection states), or NaN for
/// a line at or above the laser's wavenumber or at or below zero; where
/// (nu0 - nu)^4 overflows, computed as with no limit on the exponent, and
/// infinite only where the result exceeds the largest double.
///   raman_cross_section(1000, 2, 18796.99, 298.15) -> about 1.2e-29
double raman_cross_section(double wavenumber, double activity, double laser,
                           double kelvin) noexcept;

/// E_h / k in K: a free energy of 1 hartree is kHartreeKelvin kelvin of
/// k T (315775.0248...).
inline constexpr double kHartreeKelvin = si::kHartree / si::kBoltzmann;

/// One hartree in the molar and electron units of energy tables: E_h N_A /
/// 4184 J kcal/mol (627.5094740631...), E_h N_A / 1000 J kJ/mol
/// (2625.4996394799...), E_h / e eV (27.211386245988...).
inline constexpr double kKcalPerMolPerHartree =
    si::kHartree * si::kAvogadro / (1000.0 * si::kThermochemicalCalorie);
inline constexpr double kKjPerMolPerHartree = si::kHartree * si::kAvogadro / 1000.0;
inline constexpr double kEvPerHartree = si::kHartree / si::kElementaryCharge;

/// A unit an energy table (--energies) may name: its names (lower case; a
/// header is matched in any case), the symbol messages and the tsv header
/// write, the value of one hartree in it, and the decimals the populations'
/// table on standard error shows.
struct EnergyUnitRow {
  std::string_view symbol;
  std::span<const std::string_view> names;
  double per_hartree;
  int decimals;
};
inline constexpr std::string_view kHartreeNames[] = {"hartree", "eh", "au", "a.u."},
                                  kKcalNames[] = {"kcal/mol"}, kKjNames[] = {"kj/mol"},
                                  kEvNames[] = {"ev"};
inline constexpr EnergyUnitRow kEnergyUnits[] = {
    {"hartree", kHartreeNames, 1.0, 6},
    {"kcal/mol", kKcalNames, kKcalPerMolPerHartree, 3},
    {"kJ/mol", kKjNames, kKjPerMolPerHartree, 3},
    {"eV", kEvNames, kEvPerHartree, 5},
};
/// The unit free energies are shown in where the outputs give them (in hartree).
inline constexpr const EnergyUnitRow& kShownEnergyUnit = kEnergyUnits[1];

/// The Boltzmann weights of conformers by their Gibbs free energies (in
/// hartree) at `kelvin`: w_i = exp(-(G_i - G_min) kHartreeKelvin / T),
/// divided by their sum, so that they add up to 1 (within rounding). The
/// lowest G has the largest weight; none is NaN for finite energies and a
/// positive temperature, and a weight too small for a double is 0.
///   boltzmann_weights({-1.0, -1.0}, 298.15) -> {0.5, 0.5}
///   boltzmann_weights({0.0, 0.0021739}, 298.15) -> {about 0.909, about 0.091} (ratio 10)
std::vector<double> boltzmann_weights(std::span<const double> free_energy, double kelvin);

}  // namespace broaden
