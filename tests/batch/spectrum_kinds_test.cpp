// The spectra's constants and conversions, each checked against another
// derivation or a physical relation, not against its own digits.
#include "batch/spectrum_kinds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace broaden {
namespace {

// A wavelength in nm times its wavenumber in cm-1 is 10^7 (in um, 10^4); an energy's
// wavenumber over the energy is the same for every energy; every
// conversion comes back.
TEST(Axes, ConversionsAreInverseAndAgreeWithOneAnother) {
  using enum AxisUnit;
  for (const double nm : {100.0, 193.57, 532.0, 1064.0, 12345.6}) {
    const double wavenumber = converted(nm, nanometre, per_centimetre);
    EXPECT_NEAR(nm * wavenumber, 1e7, 1e7 * 4e-16) << nm;
    const double ev = converted(nm, nanometre, electronvolt);
    EXPECT_NEAR(converted(ev, electronvolt, per_centimetre), wavenumber, wavenumber * 4e-16);
    EXPECT_NEAR(converted(ev, electronvolt, nanometre), nm, nm * 4e-16);
    EXPECT_NEAR(converted(wavenumber, per_centimetre, electronvolt), ev, ev * 4e-16);
    EXPECT_EQ(converted(nm, nanometre, nanometre), nm);
    // Micrometres: the same wavelength, 10^4 over the wavenumber, each way.
    const double um = converted(wavenumber, per_centimetre, micrometre);
    EXPECT_NEAR(um * 1e3, nm, nm * 4e-16);
    EXPECT_EQ(converted(um, micrometre, per_centimetre), 1e4 / um);
    EXPECT_NEAR(converted(um, micrometre, electronvolt), ev, ev * 4e-16);
    EXPECT_NEAR(converted(ev, electronvolt, micrometre), um, um * 4e-16);
    EXPECT_NEAR(converted(um, micrometre, nanometre), nm, nm * 4e-16);
  }
  // The two constants are one: h c / e in eV nm is 10^7 / (cm-1 per eV).
  EXPECT_NEAR(kEvNanometre * kWavenumbersPerEv, 1e7, 1e7 * 4e-16);
  // A photon of 1 eV: 1239.84 nm (a figure every spectroscopist knows).
  EXPECT_NEAR(converted(1.0, electronvolt, nanometre), 1239.84, 0.005);
}

// The oscillator-strength constant from SI (with the vacuum permittivity)
// and from Gaussian units (with the charge in esu, e c / 10): the two agree
// to the permittivity's own uncertainty; both are the 4.319e-9 of the
// spectroscopy texts.
TEST(Constants, TheOscillatorAndRotatoryConstantsAgreeAcrossUnitSystems) {
  const double esu = si::kElementaryCharge * si::kLight * 10.0;  // statcoulomb
  const double cgs = (si::kElectronMass * 1e3) * (si::kLight * 100.0) * (si::kLight * 100.0) *
                     std::numbers::ln10 * 1000.0 / (std::numbers::pi * si::kAvogadro * esu * esu);
  EXPECT_NEAR(kOscillatorPerEpsilon / cgs, 1.0, 1e-8);
  EXPECT_NEAR(kOscillatorPerEpsilon, 4.319e-9, 0.0005e-9);
  EXPECT_NEAR(kRotatoryPerDeltaEpsilon, 2.296e-39, 0.0005e-39);
  // 100 / ln 10 turns km/mol into the integral of epsilon: ln(10) of it is 100.
  EXPECT_NEAR(kIrEpsilonPerKmPerMol * std::log(10.0), 100.0, 1e-13);
  // The second radiation constant, h c / k: 1.4387769 cm K (CODATA 2018: 1.438776877e-2 m K).
  EXPECT_NEAR(kSecondRadiation, 1.438776877, 1e-9);
}

// Two lines' cross-sections stand in the ratio of the formula's factors;
// far above the lines' temperature the Boltzmann factor becomes k T / (h c
// nu); at or above the laser there is none.
TEST(RamanCrossSection, FollowsTheFormulasRatiosAndLimits) {
  const double laser = 1e7 / 532.0, t = 298.15;
  const struct {
    double nu1, s1, nu2, s2;
  } pairs[] = {{500, 3, 1500, 7}, {100, 1, 3000, 90}, {1000, 1, 1000.5, 1}};
  for (const auto& c : pairs) {
    const double b1 = 1 - std::exp(-kSecondRadiation * c.nu1 / t);
    const double b2 = 1 - std::exp(-kSecondRadiation * c.nu2 / t);
    const double expected = std::pow((laser - c.nu1) / (laser - c.nu2), 4) * (c.s1 / c.s2) *
                            (c.nu2 / c.nu1) * (b2 / b1);
    EXPECT_NEAR(
        raman_cross_section(c.nu1, c.s1, laser, t) / raman_cross_section(c.nu2, c.s2, laser, t),
        expected, expected * 1e-13);
  }
  const double hot = 1e9;
  EXPECT_NEAR(raman_cross_section(1000, 2, laser, hot),
              kRamanCrossSection * std::pow(laser - 1000, 4) * 2 * hot /
                  (kSecondRadiation * 1000.0 * 1000.0),
              1e-6 * raman_cross_section(1000, 2, laser, hot));
  EXPECT_TRUE(std::isnan(raman_cross_section(laser, 1, laser, t)));
  EXPECT_TRUE(std::isnan(raman_cross_section(laser + 1, 1, laser, t)));
  EXPECT_TRUE(std::isnan(raman_cross_section(0, 1, laser, t)));
}

// The hartree over k against the molar gas constant and the hartree per mole
// (CODATA 2018: R = 8.314462618 J mol-1 K-1, E_h N_A = 2625.4996394799 kJ
// mol-1): RT ln 10 above the lowest weighs a tenth. Weights add up to 1,
// follow the energies whatever their order, and vanish without a NaN far up.
TEST(BoltzmannWeights, FollowTheFreeEnergiesAndAddUpToOne) {
  const double t = 298.15;
  const double decade = 8.314462618e-3 * t * std::log(10.0) / 2625.4996394799;
  const std::vector<double> w = boltzmann_weights(std::vector<double>{-10.0 + decade, -10.0}, t);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_NEAR(w[1] / w[0], 10.0, 1e-8);
  EXPECT_NEAR(w[0] + w[1], 1.0, 1e-15);

  const std::vector<double> three = boltzmann_weights(std::vector<double>{-5.0, -5.0, -5.0}, 1e-3);
  for (const double x : three) EXPECT_DOUBLE_EQ(x, 1.0 / 3.0);

  const std::vector<double> far = boltzmann_weights(std::vector<double>{0.0, 1e6, -1e6}, 1.0);
  EXPECT_EQ(far[0], 0.0);
  EXPECT_EQ(far[1], 0.0);
  EXPECT_EQ(far[2], 1.0);
  EXPECT_TRUE(boltzmann_weights(std::vector<double>{}, t).empty());
}

// The units of energy tables against each other and against the gas
// constant R = k N_A (E_h / k times R is E_h N_A): each hartree as published
// to its digits (CODATA 2018: E_h N_A = 2625.49963948 kJ/mol, E_h =
// 27.211386245988 eV; 627.5095 kcal/mol with the thermochemical calorie),
// and every value back.
TEST(EnergyUnits, AgreeWithOneAnotherAndComeBack) {
  const double kj = kKjPerMolPerHartree, within = 1e-15 * kj;
  EXPECT_NEAR(kHartreeKelvin * si::kBoltzmann * si::kAvogadro / 1000.0, kj, within);
  EXPECT_NEAR(kKcalPerMolPerHartree * 4.184, kj, within);
  EXPECT_NEAR(kEvPerHartree * si::kElementaryCharge * si::kAvogadro / 1000.0, kj, within);
  EXPECT_EQ(std::round(kKcalPerMolPerHartree * 1e4) / 1e4, 627.5095);
  EXPECT_NEAR(kKjPerMolPerHartree, 2625.49963948, 5e-9);
  EXPECT_NEAR(kEvPerHartree, 27.211386245988, 5e-13);
  for (const EnergyUnitRow& row : kEnergyUnits) {
    for (const double value : {-1234.5678, -0.001, 0.0, 2.5, 1e-7}) {
      const double back = value / row.per_hartree * row.per_hartree;
      EXPECT_NEAR(back, value, 4e-16 * std::fabs(value)) << row.symbol;
    }
  }
}

}  // namespace
}  // namespace broaden
