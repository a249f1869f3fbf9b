#include "batch/spectrum_kinds.h"

#include <algorithm>
#include <cmath>

namespace broaden {

const AxisRow& axis_row(AxisUnit unit) noexcept {
  for (const AxisRow& row : kAxes) {
    if (row.unit == unit) return row;
  }
  return kAxes[0];
}

const SpectrumKindRow& spectrum_kind_row(SpectrumKind kind) noexcept {
  for (const SpectrumKindRow& row : kSpectrumKinds) {
    if (row.kind == kind) return row;
  }
  return kSpectrumKinds[0];
}

double converted(double value, AxisUnit from, AxisUnit to) noexcept {
  if (from == to) return value;
  // Micrometres and wavenumbers are inverse (10^4 um cm-1), exactly.
  if (from == AxisUnit::micrometre && to == AxisUnit::per_centimetre) return 1e4 / value;
  if (from == AxisUnit::per_centimetre && to == AxisUnit::micrometre) return 1e4 / value;
  // Otherwise through eV: nm and eV are inverse, cm-1 and eV proportional.
  double ev = value;
  switch (from) {
    case AxisUnit::nanometre:
      ev = kEvNanometre / value;
      break;
    case AxisUnit::micrometre:
      ev = kEvNanometre / (value * 1e3);
      break;
    case AxisUnit::per_centimetre:
      ev = value / kWavenumbersPerEv;
      break;
    case AxisUnit::electronvolt:
      break;
  }
  switch (to) {
    case AxisUnit::nanometre:
      return kEvNanometre / ev;
    case AxisUnit::micrometre:
      return kEvNanometre / ev / 1e3;
    case AxisUnit::per_centimetre:
      return ev * kWavenumbersPerEv;
    case AxisUnit::electronvolt:
      break;
  }
  return ev;
}

ProfileParameters profile_in_unit(ProfileParameters profile, std::optional<AxisUnit> from,
                                  AxisUnit to) noexcept {
  if (!from || *from == to) return profile;
  const double factor = converted(1.0, *from, to);
  profile.sigma *= factor;
  profile.gamma *= factor;
  profile.fwhm *= factor;
  return profile;
}

ScaledValue raman_cross_section_scaled(double wavenumber, double activity, double laser,
                                       double kelvin) noexcept {
  const double scattered = laser - wavenumber;
  if (!(scattered > 0.0) || !(wavenumber > 0.0)) return {std::nan(""), 0};
  const int exponent = std::ilogb(scattered);
  const double unit = std::ldexp(scattered, -exponent);
  const double boltzmann = -std::expm1(-kSecondRadiation * wavenumber / kelvin);
  return {
      kRamanCrossSection * ((unit * unit) * (unit * unit)) * activity / (wavenumber * boltzmann),
      4 * exponent};
}

double raman_cross_section(double wavenumber, double activity, double laser,
                           double kelvin) noexcept {
  const double scattered = laser - wavenumber;
  if (!(scattered > 0.0) || !(wavenumber > 0.0)) return std::nan("");
  const double fourth = (scattered * scattered) * (scattered * scattered);
  const double boltzmann = -std::expm1(-kSecondRadiation * wavenumber / kelvin);
  const double sigma = kRamanCrossSection * fourth * activity / (wavenumber * boltzmann);
  if (std::isfinite(sigma)) return sigma;
  // The fourth power overflowed: the same steps, scaled (exact powers of two).
  const ScaledValue scaled = raman_cross_section_scaled(wavenumber, activity, laser, kelvin);
  return std::ldexp(scaled.value, scaled.exponent);
}

std::vector<double> boltzmann_weights(std::span<const double> free_energy, double kelvin) {
  std::vector<double> weights(free_energy.begin(), free_energy.end());
  if (weights.empty()) return weights;
  const double lowest = *std::min_element(weights.begin(), weights.end());
  double sum = 0.0;
  for (double& w : weights) {
    w = std::exp(-(w - lowest) * kHartreeKelvin / kelvin);
    sum += w;  // at least 1: the lowest energy's term
  }
  for (double& w : weights) w /= sum;
  return weights;
}

}  // namespace broaden
