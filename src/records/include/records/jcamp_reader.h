// JCAMP-DX (versions 4.24, 5.00 and 5.01): a measured spectrum as its
// instrument or a library (the NIST WebBook) writes it, read into its
// points, or its peak table read as a line list.
//
// What is read:
//   - labelled records "##LABEL=value", a label compared once normalised
//     (upper case; blanks, '-', '/' and '_' dropped: "##X UNITS=" is
//     "##XUNITS="); "$$" to the end of a line is a comment; blank lines
//     and unknown labels are skipped; lines end at LF or CRLF; a UTF-8
//     byte-order mark at the start is stepped over (counted in columns);
//   - ##JCAMP-DX= 4.24, 5.00 or 5.01 (5.0, 5 too); any other refused;
//   - the data table ##XYDATA=(X++(Y..Y)) in AFFN and every ASDF form
//     (SQZ @A-Ia-i, DIF %J-Rj-r, DUP S-Zs, mixed in a line; in an AFFN
//     value "E" or "e" followed by a sign and a digit is its exponent).
//     The X of each line is a check only: the abscissae are
//     FIRSTX + i (LASTX - FIRSTX) / (NPOINTS - 1), and a line's X times
//     XFACTOR must lie nearer than half a step plus half an XFACTOR to its first
//     point's. After a line ending in DIF form the next line's first Y
//     repeats its last Y (the Y check): refused where it differs, dropped
//     where it agrees. The count must be NPOINTS; FIRSTY must equal the
//     first Y times YFACTOR within 1e-4 of the larger plus one YFACTOR;
//   - ##XYPOINTS=(XY..XY) and ##PEAK TABLE=(XY..XY): pairs of AFFN
//     numbers, separated by blanks, ',' or ';' (a pair may be split across
//     lines), times XFACTOR and YFACTOR; NPOINTS, if given, checked;
//   - ##XUNITS= 1/CM, NANOMETERS or MICROMETERS, or EV (which the standard
//     does not name: broaden-batch writes it for an eV axis); any other
//     refused, named;
//     ##YUNITS= ABSORBANCE kept; transmittance turned into absorbance,
//     -log10(T), with a note: a unit naming percent ("%T", "PERCENT
//     TRANSMITTANCE") is percent, a plain "TRANSMITTANCE" a fraction unless
//     a value of it exceeds 1.5, then percent (said in the note). Points of
//     transmittance zero or below (infinite absorbance: a saturated band's
//     noise, not a fault of the file) are left out, counted in a note with
//     the line of the first; any other YUNITS kept as its text;
//   - a compound file (##BLOCKS= with nested ##TITLE= ... ##END=): the first
//     block holding a data table (or, for a measured curve, the first holding
//     XYDATA or XYPOINTS where one does), with the note "read block 2 of 3,
//     the first that holds a spectrum". Every block is read and checked; the
//     units are checked for the block read only.
// A file ends at the ##END= of its first block; the text after it is not read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/line_table.h"

namespace broaden {

/// The unit of a JCAMP-DX file's abscissae (##XUNITS=).
enum class JcampXUnit { per_centimetre, nanometre, micrometre, electronvolt };

/// A measured curve or a peak table, the factors applied: x and y as many.
struct JcampCurve {
  std::vector<double> x;
  std::vector<double> y;
  JcampXUnit x_unit = JcampXUnit::per_centimetre;
  /// "absorbance" once transmittance is converted or where the file says
  /// so, else ##YUNITS= as written (trimmed): "ARBITRARY UNITS".
  std::string y_quantity;
  std::string title;  ///< ##TITLE= of the block read
  bool peak_table = false;
  std::size_t table_line = 0;  ///< the line of the data table's label
  std::vector<LineListNote> notes;
};

/// The curve, or the first place the reader could not read (the curve then
/// to be ignored).
struct JcampRead {
  JcampCurve curve;
  std::optional<LineListError> error;
};

/// True when the first non-blank line starts "##TITLE=" (label normalised;
/// a byte-order mark is the caller's to skip).
///   recognises_jcamp("\n##TITLE= benzene\n...") -> true
///   recognises_jcamp("# ##TITLE=\n")           -> false
bool recognises_jcamp(std::string_view text) noexcept;

/// Which block of a compound file is read: the first holding any data
/// table, or the first holding a measured curve (XYDATA, XYPOINTS) where a
/// block holds one (a peak table before it passed over), else the first.
enum class JcampTable { any, curve };

/// The spectrum of `text`, or its first error with line and column:
///   "##TITLE=t\n##JCAMP-DX=4.24\n##XUNITS=1/CM\n##YUNITS=ABSORBANCE\n"
///   "##FIRSTX=1\n##LASTX=3\n##NPOINTS=3\n##XFACTOR=1\n##YFACTOR=0.5\n"
///   "##XYDATA=(X++(Y..Y))\n1 A J%\n##END=\n"
///     -> x {1, 2, 3}, y {0.5, 1, 1}, y_quantity "absorbance"
///   the same with "1 A J%\n3 K\n" -> refused at 12:3, count_mismatch: "the Y
///     check value 2 (the last Y of line 11), not 'K'"
///   a compound file of a peak table, then an XYDATA block, with
///   JcampTable::curve -> the XYDATA block's curve, "read block 2 of 2"
JcampRead read_jcamp(std::string_view text, JcampTable wanted = JcampTable::any);

/// The peak table of `text` as a line list (frequencies in cm-1 times
/// `options.frequency_scale`, intensities as read): refused where the file
/// holds a measured curve (XYDATA, XYPOINTS: "give it with --overlay") or
/// peaks in nanometres or micrometres.
LineListRead read_jcamp_peaks(std::string_view text, const LineListOptions& options);

}  // namespace broaden
