#include "records/spectra_data.h"

#include <algorithm>

namespace broaden {

std::size_t ExcitedStates::size() const {
  return std::max({energy_ev.size(), wavenumber.size(), wavelength_nm.size(),
                   oscillator_strength.size(), rotatory_velocity.size(), rotatory_length.size(),
                   rotatory_unnamed.size()});
}

std::string_view quantity_name(SpectrumQuantity quantity) noexcept {
  switch (quantity) {
    case SpectrumQuantity::ir_intensity:
      return "IR intensities";
    case SpectrumQuantity::raman_activity:
      return "Raman activities";
    case SpectrumQuantity::rotational_strength:
      return "rotational strengths";
    case SpectrumQuantity::oscillator_strength:
      return "oscillator strengths";
    case SpectrumQuantity::rotatory_velocity:
      return "rotatory strengths (velocity)";
    case SpectrumQuantity::rotatory_length:
      return "rotatory strengths (length)";
    case SpectrumQuantity::rotatory_unnamed:
      return "rotatory strengths";
  }
  return "";
}

bool holds(const SpectraData& data, SpectrumQuantity quantity) noexcept {
  const Vibrations& v = data.vibrations;
  const ExcitedStates& e = data.excited_states;
  switch (quantity) {
    case SpectrumQuantity::ir_intensity:
      return !v.ir_intensity.empty();
    case SpectrumQuantity::raman_activity:
      return !v.raman_activity.empty();
    case SpectrumQuantity::rotational_strength:
      return !v.rotational_strength.empty();
    case SpectrumQuantity::oscillator_strength:
      return !e.oscillator_strength.empty();
    case SpectrumQuantity::rotatory_velocity:
      return !e.rotatory_velocity.empty();
    case SpectrumQuantity::rotatory_length:
      return !e.rotatory_length.empty();
    case SpectrumQuantity::rotatory_unnamed:
      return !e.rotatory_unnamed.empty();
  }
  return false;
}

std::string holdings(const SpectraData& data) {
  std::string text;
  const auto add = [&](std::string_view item) {
    if (!text.empty()) text += ", ";
    text += item;
  };
  bool strengths = false;
  for (const SpectrumQuantity q :
       {SpectrumQuantity::ir_intensity, SpectrumQuantity::raman_activity,
        SpectrumQuantity::rotational_strength, SpectrumQuantity::oscillator_strength,
        SpectrumQuantity::rotatory_velocity, SpectrumQuantity::rotatory_length,
        SpectrumQuantity::rotatory_unnamed}) {
    if (!holds(data, q)) continue;
    const bool electronic = q != SpectrumQuantity::ir_intensity &&
                            q != SpectrumQuantity::raman_activity &&
                            q != SpectrumQuantity::rotational_strength;
    strengths = strengths || electronic;
    add(q == SpectrumQuantity::oscillator_strength ? "excited states" : quantity_name(q));
  }
  const Vibrations& v = data.vibrations;
  if (v.size() > 0 && v.ir_intensity.empty() && v.raman_activity.empty() &&
      v.rotational_strength.empty())
    add("frequencies without intensities");
  if (data.excited_states.size() > 0 && !strengths) add("excited states without strengths");
  if (data.free_energy) add("a free energy");
  return text.empty() ? "nothing" : text;
}

std::string holds_none_message(std::string_view file, const SpectraData& data,
                               SpectrumQuantity quantity) {
  return std::string(file) + " holds no " + std::string(quantity_name(quantity)) +
         " (it holds: " + holdings(data) + ")";
}

}  // namespace broaden
