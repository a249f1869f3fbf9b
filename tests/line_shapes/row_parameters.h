// The parameters a row of kLineShapes draws with, for the tests that take every row, so that a new
// shape is tested by them without a line of its own.
#pragma once

#include "line_shapes/line_profiles.h"

namespace broaden::test {

/// Every width of `row` at `width`, every parameter at `fraction` of its range from its low end:
///   row_parameters(pseudo-voigt row, area, 2.0) -> {pseudo_voigt, area, fwhm 2, eta 0.4}
inline ProfileParameters row_parameters(const LineShapeRow& row, Normalisation n, double width,
                                        double fraction = 0.4) {
  ProfileParameters p;
  p.shape = row.shape;
  p.normalisation = n;
  for (const ShapeWidth& w : row.widths) p.*w.field = width;
  for (const ShapeParameter& q : row.parameters) p.*q.field = q.low + fraction * (q.high - q.low);
  return p;
}

}  // namespace broaden::test
