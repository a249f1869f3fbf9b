// Real outputs (Gaussian 09, ORCA 5, Turbomole 7.4, Chemical JSON from cclib, Q-Chem 5.1,
// GAMESS-US 2017) read as
// printed: every position and intensity the reader gives is the double of
// the decimal the file prints, found here by a plain text search of its own
// (a prefix or a table's place), independent of the readers. Skipped where
// the folder of samples is absent.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "spectra_checks.h"

#ifndef BROADEN_QC_SAMPLES
#define BROADEN_QC_SAMPLES ""
#endif

namespace broaden {
namespace {

using testing::read_as;

std::string sample(const std::string& name) {
  const std::filesystem::path path = std::filesystem::path(BROADEN_QC_SAMPLES) / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

#define SAMPLE_OR_SKIP(var, name)       \
  const std::string var = sample(name); \
  if (var.empty()) GTEST_SKIP() << "no sample " << (name);

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

double printed(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    throw std::runtime_error("not a number: " + text);
  return value;
}

// The values each line starting with `prefix` prints from its `skip`th word on.
std::vector<double> after_prefix(const std::string& text, const std::string& prefix,
                                 std::size_t skip) {
  std::vector<double> out;
  for (const std::string& line : lines_of(text))
    if (line.rfind(prefix, 0) == 0) {
      const auto w = words(line);
      for (std::size_t k = skip; k < w.size(); ++k) out.push_back(printed(w[k]));
    }
  return out;
}

// Word `column` of the rows under the last line equal to `title` (after
// `skip` lines), up to a line that does not start with a number ("6:" or
// "1"); `spin` for a spin-forbidden row.
std::vector<double> table_column(const std::string& text, const std::string& title,
                                 std::size_t skip, std::size_t column, double spin = 0) {
  const auto lines = lines_of(text);
  std::size_t start = lines.size();
  for (std::size_t k = 0; k < lines.size(); ++k)
    if (words(lines[k]) == words(title)) start = k;
  std::vector<double> out;
  for (std::size_t k = start + skip + 1; k < lines.size(); ++k) {
    const auto w = words(lines[k]);
    if (w.empty() || w[0].find_first_not_of("0123456789:") != std::string::npos) break;
    out.push_back(lines[k].find("spin forbidden") != std::string::npos && column > 2
                      ? spin
                      : printed(w[column]));
  }
  return out;
}

// The numbers of the JSON array after `"key": [`.
std::vector<double> json_array(const std::string& text, const std::string& key) {
  const std::size_t at = text.find("\"" + key + "\": [");
  const std::size_t end = text.find(']', at);
  std::string inside = text.substr(at + key.size() + 5, end - at - key.size() - 5);
  std::replace(inside.begin(), inside.end(), ',', ' ');
  std::vector<double> out;
  for (const std::string& w : words(inside)) out.push_back(printed(w));
  return out;
}

TEST(Samples, Gaussian09HarmonicAnalysesAsPrinted) {
  SAMPLE_OR_SKIP(ir, "gaussian09-dvb-ir.out");
  const SpectraRead read = read_as("gaussian", ir);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  EXPECT_EQ(read.data.vibrations.size(), 54u);
  EXPECT_EQ(read.data.vibrations.frequency, after_prefix(ir, " Frequencies --", 2));
  EXPECT_EQ(read.data.vibrations.ir_intensity, after_prefix(ir, " IR Inten    --", 3));
  EXPECT_TRUE(read.data.vibrations.raman_activity.empty());
  EXPECT_EQ(read.data.free_energy, -382.164931);

  SAMPLE_OR_SKIP(raman, "gaussian09-dvb-raman.out");
  const SpectraRead both = read_as("gaussian", raman);
  ASSERT_FALSE(both.error) << both.error->line << ": " << both.error->expected;
  EXPECT_EQ(both.data.vibrations.frequency, after_prefix(raman, " Frequencies --", 2));
  EXPECT_EQ(both.data.vibrations.ir_intensity, after_prefix(raman, " IR Inten    --", 3));
  EXPECT_EQ(both.data.vibrations.raman_activity, after_prefix(raman, " Raman Activ --", 3));
  EXPECT_EQ(both.data.vibrations.size(), 54u);
}

TEST(Samples, Gaussian09ExcitedStatesAsPrinted) {
  // TD of dvb; TD of CO (singlets and triplets, lines "Excited state symmetry
  // could not be determined."); CIS of water.
  const struct {
    const char* file;
    std::size_t states;
  } samples[] = {
      {"gaussian09-dvb-td.out", 5}, {"gaussian09-co-td.log", 24}, {"gaussian09-water-cis.log", 10}};
  for (const auto& sample_file : samples) {
    SAMPLE_OR_SKIP(td, sample_file.file);
    const SpectraRead read = read_as("gaussian", td);
    ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
    const ExcitedStates& e = read.data.excited_states;
    std::vector<double> ev, nm, f;
    for (const std::string& line : lines_of(td))
      if (line.rfind(" Excited State", 0) == 0) {
        const auto w = words(line);
        ev.push_back(printed(w[4]));
        nm.push_back(printed(w[6]));
        f.push_back(printed(w[8].substr(2)));
      }
    EXPECT_EQ(e.energy_ev, ev);
    EXPECT_EQ(e.wavelength_nm, nm);
    EXPECT_EQ(e.oscillator_strength, f);
    EXPECT_EQ(e.rotatory_velocity, table_column(td, "state XX YY ZZ R(velocity) E-M Angle", 0, 4));
    EXPECT_EQ(e.rotatory_length, table_column(td, "state XX YY ZZ R(length)", 0, 4));
    EXPECT_EQ(e.size(), sample_file.states) << sample_file.file;
  }
}

TEST(Samples, Orca5TablesAsPrinted) {
  SAMPLE_OR_SKIP(ir, "orca5-dvb-ir.out");
  const SpectraRead read = read_as("orca", ir);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  EXPECT_EQ(read.data.vibrations.frequency, table_column(ir, "IR SPECTRUM", 5, 1));
  EXPECT_EQ(read.data.vibrations.ir_intensity, table_column(ir, "IR SPECTRUM", 5, 3));
  EXPECT_EQ(read.data.vibrations.size(), 54u);
  EXPECT_EQ(read.data.free_energy, -381.91112705);

  SAMPLE_OR_SKIP(raman, "orca5-dvb-raman.out");
  const SpectraRead both = read_as("orca", raman);
  ASSERT_FALSE(both.error) << both.error->line << ": " << both.error->expected;
  EXPECT_EQ(both.data.vibrations.frequency, table_column(raman, "RAMAN SPECTRUM", 4, 1));
  EXPECT_EQ(both.data.vibrations.ir_intensity, table_column(raman, "IR SPECTRUM", 5, 3));
  EXPECT_EQ(both.data.vibrations.raman_activity, table_column(raman, "RAMAN SPECTRUM", 4, 2));

  SAMPLE_OR_SKIP(td, "orca5-dvb-td.out");
  const SpectraRead states = read_as("orca", td);
  ASSERT_FALSE(states.error) << states.error->line << ": " << states.error->expected;
  const ExcitedStates& e = states.data.excited_states;
  const std::string absorption = "ABSORPTION SPECTRUM VIA TRANSITION ELECTRIC DIPOLE MOMENTS";
  EXPECT_EQ(e.wavenumber, table_column(td, absorption, 4, 1));
  EXPECT_EQ(e.wavelength_nm, table_column(td, absorption, 4, 2));
  EXPECT_EQ(e.oscillator_strength, table_column(td, absorption, 4, 3));
  EXPECT_EQ(e.rotatory_length, table_column(td, "CD SPECTRUM", 4, 3));
  EXPECT_EQ(e.rotatory_velocity,
            table_column(td, "CD SPECTRUM VIA TRANSITION VELOCITY DIPOLE MOMENTS", 4, 3));
  EXPECT_EQ(e.size(), 10u);

  // EOM-CCSD, STEOM-CCSD and ADC(2): their CD tables print the cm-1 and nm
  // columns with each other's values; the positions are the absorption's.
  for (const char* file :
       {"orca5-dvb-eom-ccsd.log", "orca5-dvb-steom-ccsd.log", "orca5-dvb-adc2.log"}) {
    SAMPLE_OR_SKIP(cc, file);
    const SpectraRead got = read_as("orca", cc);
    ASSERT_FALSE(got.error) << file << ":" << got.error->line << ": " << got.error->expected;
    const ExcitedStates& s = got.data.excited_states;
    EXPECT_EQ(s.wavenumber, table_column(cc, absorption, 4, 1)) << file;
    EXPECT_EQ(s.wavelength_nm, table_column(cc, absorption, 4, 2)) << file;
    EXPECT_EQ(s.oscillator_strength, table_column(cc, absorption, 4, 3)) << file;
    EXPECT_EQ(s.rotatory_length, table_column(cc, "CD SPECTRUM", 4, 3)) << file;
    EXPECT_EQ(s.size(), 2u) << file;
  }
}

TEST(Samples, ChemicalJsonFromCclibAsPrinted) {
  SAMPLE_OR_SKIP(text, "qchem54-dvb-ir.cjson");
  const SpectraRead read = read_as("cjson", text);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  EXPECT_EQ(read.data.vibrations.frequency, json_array(text, "frequencies"));
  EXPECT_EQ(read.data.vibrations.ir_intensity, json_array(text, "IR"));
  EXPECT_EQ(read.data.vibrations.size(), 54u);
  EXPECT_EQ(read.data.free_energy, -382.1648777449445);
}

// The value after the last ':' of each line holding `key`.
std::vector<double> after_key(const std::string& text, const std::string& key) {
  std::vector<double> out;
  for (const std::string& line : lines_of(text))
    if (line.find(key) != std::string::npos)
      out.push_back(printed(words(line.substr(line.rfind(':') + 1))[0]));
  return out;
}

TEST(Samples, Turbomole74ExcitedStatesAsPrinted) {
  SAMPLE_OR_SKIP(escf, "turbomole74-co-escf.out");
  const SpectraRead read = read_as("turbomole", escf);
  ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->expected;
  const ExcitedStates& e = read.data.excited_states;
  EXPECT_EQ(e.energy_ev, after_key(escf, "Excitation energy / eV:"));
  EXPECT_EQ(e.wavelength_nm, after_key(escf, "Excitation energy / nm:"));
  EXPECT_EQ(e.wavenumber, after_key(escf, "Excitation energy / cm^(-1):"));
  // Each state prints "length representation:" under its oscillator
  // strength, then under its rotatory strength.
  std::vector<double> f;
  const auto lengths = after_key(escf, "    length representation:");
  for (std::size_t k = 0; k < lengths.size(); k += 2) f.push_back(lengths[k]);
  EXPECT_EQ(e.oscillator_strength, f);
  EXPECT_EQ(e.rotatory_length, after_key(escf, "length rep. / 10^(-40)erg*cm^3:"));
  EXPECT_EQ(e.rotatory_velocity, after_key(escf, "velocity rep. / 10^(-40)erg*cm^3:"));
  EXPECT_EQ(e.size(), 10u);

  SAMPLE_OR_SKIP(ricc2, "turbomole74-co-ricc2.out");
  const SpectraRead cc2 = read_as("turbomole", ricc2);
  ASSERT_FALSE(cc2.error) << cc2.error->line << ": " << cc2.error->expected;
  // The final table's rows: "| a | 1 | 1 | Hartree | eV | cm-1 | %t1 | %t2 |".
  std::vector<double> ev, cm;
  for (const std::string& line : lines_of(ricc2)) {
    const auto w = words(line);
    if (w.size() == 17 && w[0] == "|" && w[16] == "|" && w[1] != "sym") {
      ev.push_back(printed(w[9]));
      cm.push_back(printed(w[11]));
    }
  }
  EXPECT_EQ(cc2.data.excited_states.energy_ev, ev);
  EXPECT_EQ(cc2.data.excited_states.wavenumber, cm);
  EXPECT_EQ(cc2.data.excited_states.oscillator_strength,
            after_key(ricc2, "oscillator strength (length gauge)"));
  EXPECT_EQ(cc2.data.excited_states.size(), 10u);
}

// The values of the lines "KEY v1 v2 ..." (KEY within the first 8 bytes)
// from word `skip` on, GAMESS's "I" after an imaginary frequency and its
// unit "EV" dropped, the first `drop` values left out.
std::vector<double> grouped(const std::string& text, const std::string& key, std::size_t skip,
                            std::size_t drop = 0) {
  std::vector<double> out;
  for (const std::string& line : lines_of(text)) {
    const auto w = words(line);
    if (line.find(key) > 8) continue;
    for (std::size_t k = skip; k < w.size(); ++k)
      if (w[k] != "I" && w[k] != "EV") out.push_back(printed(w[k]));
  }
  return std::vector<double>(out.begin() + static_cast<std::ptrdiff_t>(drop), out.end());
}

TEST(Samples, QChem51AndGamess2017AsPrinted) {
  SAMPLE_OR_SKIP(ir, "qchem51-dvb-ir.out");
  SAMPLE_OR_SKIP(raman, "qchem51-dvb-raman.out");  // 2 imaginary modes first
  SAMPLE_OR_SKIP(td, "qchem51-dvb-td.out");
  SAMPLE_OR_SKIP(gamess, "gamess17-dvb-ir.out");  // modes 1 to 6 rigid
  SAMPLE_OR_SKIP(gamess_td, "gamess17-dvb-td.out");
  const SpectraData q = read_as("qchem", ir).data, r = read_as("qchem", raman).data;
  const SpectraData t = read_as("qchem", td).data, g = read_as("gamess", gamess).data;
  const SpectraData gt = read_as("gamess", gamess_td).data;
  EXPECT_EQ(q.vibrations.frequency, grouped(ir, "Frequency:", 1));
  EXPECT_EQ(q.vibrations.ir_intensity, grouped(ir, "IR Intens:", 2));
  EXPECT_EQ(r.vibrations.frequency, grouped(raman, "Frequency:", 1, 2));
  EXPECT_EQ(r.vibrations.raman_activity, grouped(raman, "Raman Intens:", 2, 2));
  EXPECT_EQ(t.excited_states.energy_ev, after_prefix(td, " Excited state", 7));
  EXPECT_EQ(t.excited_states.oscillator_strength, after_prefix(td, "    Strength", 2));
  EXPECT_EQ(g.vibrations.frequency, grouped(gamess, "FREQUENCY:", 1, 6));
  std::vector<double> km = grouped(gamess, "IR INTENSITY:", 2, 6);
  for (double& a : km) a *= kKmPerMolPerDebyeSquared;  // printed in D^2 A^-2 amu^-1
  EXPECT_EQ(g.vibrations.ir_intensity, km);
  EXPECT_EQ(gt.excited_states.energy_ev, grouped(gamess_td, "STATE #", 5));
  EXPECT_EQ(gt.excited_states.oscillator_strength, grouped(gamess_td, "OSCILLATOR", 3));
  EXPECT_EQ(q.vibrations.size() + r.vibrations.size() + g.vibrations.size(), 54u * 3 - 2);
  EXPECT_EQ(t.excited_states.size() + gt.excited_states.size(), 20u);
  EXPECT_FALSE(q.free_energy || g.free_energy);  // neither prints a Gibbs free energy
}

TEST(Samples, EachIsRecognisedAndSafeWhenCutAnywhere) {
  const struct {
    const char* file;
    const char* format;
  } samples[] = {
      {"gaussian09-dvb-ir.out", "gaussian"},    {"gaussian09-dvb-raman.out", "gaussian"},
      {"gaussian09-dvb-td.out", "gaussian"},    {"orca5-dvb-ir.out", "orca"},
      {"orca5-dvb-raman.out", "orca"},          {"orca5-dvb-td.out", "orca"},
      {"qchem54-dvb-ir.cjson", "cjson"},        {"gaussian09-co-td.log", "gaussian"},
      {"gaussian09-water-cis.log", "gaussian"}, {"orca5-dvb-eom-ccsd.log", "orca"},
      {"orca5-dvb-steom-ccsd.log", "orca"},     {"orca5-dvb-adc2.log", "orca"},
      {"turbomole74-co-escf.out", "turbomole"}, {"turbomole74-co-ricc2.out", "turbomole"},
      {"qchem51-dvb-ir.out", "qchem"},          {"qchem51-dvb-raman.out", "qchem"},
      {"qchem51-dvb-td.out", "qchem"},          {"gamess17-dvb-ir.out", "gamess"},
      {"gamess17-dvb-td.out", "gamess"}};
  for (const auto& s : samples) {
    SAMPLE_OR_SKIP(text, s.file);
    EXPECT_EQ(recognise_input(text).name, s.format) << s.file;
    testing::expect_truncations_safe(s.format, text);
  }
}

}  // namespace
}  // namespace broaden
