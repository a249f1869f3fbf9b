#include "records/field_to_double.h"

namespace broaden {

FieldValue field_to_double(std::string_view field, int implied_decimals) noexcept {
  const DecimalGrammar grammar{.implied_decimals = implied_decimals,
                               .blanks_ignored = true,
                               .sign_only_exponent = true,
                               .d_exponent = true};
  // A record's field is 10 characters at most: the digits the scan keeps fit
  // std::string's own buffer, so a field costs no allocation.
  const DecimalScan scan = scan_decimal(field, grammar);
  if (scan.error != DecimalError::none) return FieldValue{0.0, scan.error};
  if (scan.empty) return FieldValue{0.0, DecimalError::none};
  return FieldValue{scan_to_double(scan), DecimalError::none};
}

}  // namespace broaden
