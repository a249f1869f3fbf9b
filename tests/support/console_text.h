// What the program writes on its console: the prompts and the two handled
// messages, each a console line.
#pragma once

#include <string>

namespace broaden::testing {

inline const std::string kAskInput = " Enter Input Filename: \n";
inline const std::string kAskCount = " Enter Number of Frequencies: \n";
inline const std::string kAskOutput = " Enter Output Filename: \n";
inline const std::string kAskWidth = " Enter Lorentzian Width: \n";
inline const std::string kInputError = " Error in input file\n";
inline const std::string kOutputError = " Error in output file\n";

}  // namespace broaden::testing
