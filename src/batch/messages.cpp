#include "batch/messages.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "batch/input_lines.h"
#include "batch/spectrum_kinds.h"
#include "numbers/double_to_shortest.h"
#include "text/quoted.h"

namespace broaden {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// A number for a message, to three digits: "0.25", "1.2e+03".
std::string short_number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

std::string coarse_text(const CoarseGrid& m) {
  const std::string unit = std::string(axis_row(m.axis).symbol);
  return "the grid is too coarse for the width: its step, " + short_number(m.step) + " " + unit +
         ", is more than a quarter of the narrowest full width at half maximum, " +
         short_number(m.narrowest) + " " + unit + " (a step of " + short_number(m.narrowest / 4) +
         " or less draws the peaks)";
}

// A score for a message, "none" where there is none.
std::string score_text(const std::optional<double>& score) {
  return score ? short_number(*score) : std::string("none");
}

std::string compared_text(const Compared& m) {
  std::ostringstream text;
  char first[32], last[32];  // the range to six digits: "400 to 4000"
  std::snprintf(first, sizeof first, "%.6g", m.first);
  std::snprintf(last, sizeof last, "%.6g", m.last);
  text << "compared with " << escaped(m.experiment) << " over " << first << " to " << last << " "
       << axis_row(m.axis).symbol << " (" << m.points
       << " points): " << kScores[static_cast<std::size_t>(m.score)].name << " "
       << score_text(m.after);
  if (m.fit) text << " (" << score_text(m.before) << " before the fit)";
  for (const Compared::Value& v : m.fitted) {
    char number[32];
    std::snprintf(number, sizeof number, "%.4g", v.value);
    text << (v.parameter == FitParameter::scale   ? ", scale "
             : v.parameter == FitParameter::shift ? ", shift "
                                                  : ", fwhm ")
         << number;
    if (v.unit) text << " " << axis_row(*v.unit).symbol;
  }
  if (m.enantiomer)
    text << "; ESI " << score_text(m.enantiomer->esi) << ": "
         << verdict_text(m.enantiomer->verdict);
  return text.str();
}

std::string outside_text(const LinesOutside& m) {
  return std::to_string(m.outside) + " of " + std::to_string(m.lines) +
         (m.lines == 1 ? " line" : " lines") + (m.outside == 1 ? " lies" : " lie") +
         " outside the grid (" + m.first + " to " + m.last + "); only " +
         (m.outside == 1 ? "its tail reaches" : "their tails reach") + " it";
}

// The populations as an aligned table under its heading: the names
// left-aligned, the energies and weights right-aligned.
std::string populations_text(const Populations& m) {
  std::string text = "Boltzmann populations at " + shortest(m.kelvin) + " K, by " +
                     (m.table.empty() ? std::string("the outputs' free energies")
                                      : "the energies of " + quoted_input(m.table)) +
                     " (energy above the lowest, weight):";
  std::vector<std::string> names, aboves;
  std::size_t name_width = 0, above_width = 0;
  for (const Populations::Row& row : m.rows) {
    char above[64];
    std::snprintf(above, sizeof above, "%.*f", m.unit->decimals, row.above);
    names.push_back(quoted_input(row.input));
    aboves.emplace_back(above);
    name_width = std::max(name_width, names.back().size());
    above_width = std::max(above_width, aboves.back().size());
  }
  for (std::size_t k = 0; k < m.rows.size(); ++k) {
    char weight[32];
    std::snprintf(weight, sizeof weight, "%.4f", m.rows[k].weight);
    text += "\n  " + names[k] + std::string(name_width - names[k].size(), ' ') + "  " +
            std::string(above_width - aboves[k].size(), ' ') + aboves[k] + " " +
            std::string(m.unit->symbol) + "  " + weight;
  }
  return text;
}

}  // namespace

bool is_warning(const Message& message) noexcept {
  return std::visit(
      Overloaded{[](const ReaderNote& m) { return m.warning; },
                 [](const RamanWithoutLaser&) { return false; },
                 [](const EpsilonCrossSections&) { return false; },
                 [](const DrawingNote&) { return false; }, [](const Compared&) { return false; },
                 [](const Populations&) { return false; },
                 [](const TableEnergiesUsed&) { return false; }, [](const auto&) { return true; }},
      message);
}

std::string message_text(const Message& message) {
  return std::visit(
      Overloaded{
          [](const ReaderNote& m) {
            return shown_input(m.input) + ":" + std::to_string(m.line) + ": " + m.text;
          },
          [](const RamanWithoutLaser&) {
            return std::string("Raman activities without --laser: --units epsilon changes nothing");
          },
          [](const EpsilonCrossSections&) {
            return std::string(
                "--units epsilon gives Raman cross-sections: --units cross-section names them");
          },
          [](const NoLines& m) {
            return quoted_input(m.input) + " holds no lines: it adds nothing to the spectrum";
          },
          [](const GivenTwice& m) {
            return quoted_input(m.input) + " is given more than once: its lines count each time";
          },
          [](const WeighsNothing& m) {
            return quoted_input(m.input) + " weighs nothing at " + shortest(m.kelvin) +
                   " K: its free energy lies " + shortest(m.above) +
                   " hartree above the lowest (another molecule?)";
          },
          [](const LinesOutside& m) { return outside_text(m); },
          [](const CoarseGrid& m) { return coarse_text(m); },
          [](const BeyondDoubles& m) {
            return std::to_string(m.count) + " of " + std::to_string(m.of) +
                   (m.lines ? " lines" : " points") + (m.count == 1 ? " exceeds" : " exceed") +
                   " the largest double (1.7976931348623157e308): written as inf";
          },
          [](const BlankPicture&) {
            return std::string("the spectrum is zero everywhere: the picture shows its axes only");
          },
          [](const OverlayOutside& m) {
            return std::to_string(m.outside) + " of the overlay's " + std::to_string(m.points) +
                   " points" + (m.outside == 1 ? " lies" : " lie") + " outside the grid (" +
                   m.first + " to " + m.last + ") and " + (m.outside == 1 ? "is" : "are") +
                   " not drawn";
          },
          [](const LargeGrid& m) {
            return "the grid spanning the lines has " + std::to_string(m.points) +
                   " points: give --step or --points for fewer" +
                   (m.wavelengths ? " (--axis um draws wavelengths in micrometres)" : "");
          },
          [](const DrawingNote& m) { return "gnuplot: " + escaped(m.text); },
          [](const Populations& m) { return populations_text(m); },
          [](const Compared& m) { return compared_text(m); },
          [](const TableEnergiesUsed& m) {
            return "the energies of " + quoted_input(m.table) + " weigh the inputs: the free " +
                   (m.outputs == 1
                        ? std::string("energy one of them holds is")
                        : "energies " + std::to_string(m.outputs) + " of them hold are") +
                   " not used";
          }},
      message);
}

void write_messages(std::span<const Message> messages, bool quiet, std::ostream& err) {
  if (quiet) return;
  for (const Message& message : messages) {
    const char* const prefix =
        is_warning(message) ? "broaden-batch: warning: " : "broaden-batch: note: ";
    const std::string text = message_text(message);
    for (std::size_t start = 0; start <= text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      err << prefix << std::string_view(text).substr(start, end - start) << "\n";
      start = end + 1;
    }
  }
}

}  // namespace broaden
