#include "line_shapes/voigt_terms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "line_shapes/line_profiles.h"
#include "line_shapes/profile_kernels.h"

namespace broaden::detail {
namespace {

using Vector = std::vector<double>;

// The far terms against libcerf: both within their own error of the exact value
// (libcerf's reaching 2.7e-14 near |x| = 8 for small y).
constexpr double kAgainstLibcerf = 1e-13;
constexpr double kLibcerfError = 5e-14;

double relative(double value, double reference) {
  return std::fabs(value - reference) / std::fabs(reference);
}

ProfileParameters voigt_parameters(double sigma, double gamma,
                                   Normalisation n = Normalisation::area) {
  return {LineShape::voigt, n, sigma, gamma, 0.0, 0.0};
}

// Ratios gamma / sigma from 1e-6 to 1e6, a few sigmas.
std::vector<VoigtShape> shapes() {
  std::vector<VoigtShape> s;
  for (const double sigma : {1.0, 0.37, 4.246609001440095, 1e-3, 250.0}) {
    for (double ratio = 1e-6; ratio <= 1.000001e6; ratio *= std::sqrt(10.0)) {
      s.emplace_back(sigma, ratio * sigma);
    }
  }
  return s;
}

TEST(VoigtShape, FarTermsAreLibcerfsFromTheBoundaryOutwards) {
  for (const VoigtShape& shape : shapes()) {
    SCOPED_TRACE(testing::Message() << "sigma " << shape.sigma() << " gamma " << shape.gamma());
    // |x| from the boundary (or 4, where the boundary is 0) out to 1e6, densest near it,
    // both sides; d = x / to_x lands on either side of the boundary by rounding.
    const double from = std::max(shape.far_from(), 4.0);
    double worst = 0.0;
    for (double step = 0.0; step < 1e6; step = step == 0.0 ? 1e-9 : step * 1.02) {
      for (const double sign : {-1.0, 1.0}) {
        const double d = sign * (from + step) / shape.to_x();
        const double x = d * shape.to_x();
        if (shape.region_of(x) == VoigtShape::Region::near) {
          ASSERT_LT(std::fabs(x), shape.far_from());
          continue;
        }
        const VoigtShape::Region region = shape.region_of(x);
        ASSERT_EQ(region, std::fabs(x) < shape.outer_from() ? VoigtShape::Region::far
                                                            : VoigtShape::Region::outer);
        const double reference = shape.libcerf(d);
        worst = std::max(worst, relative(shape(d), reference));
        // The 12-point sum holds in the outer region too: the two forms agree there.
        if (region == VoigtShape::Region::outer) {
          ASSERT_LE(relative(shape(d), shape.far(d)), 2 * kVoigtFarRelativeError) << d;
        } else {
          ASSERT_EQ(shape(d), shape.far(d));
        }
      }
    }
    EXPECT_LE(worst, kAgainstLibcerf);
    RecordProperty("worst", testing::PrintToString(worst));
  }
}

TEST(VoigtShape, HeaderExample) {
  const VoigtShape shape(1.0, 1.0);
  EXPECT_EQ(shape.region_of(20.0 * shape.to_x()), VoigtShape::Region::far);
  EXPECT_EQ(shape(20.0), 0.00079978368006100359);
  EXPECT_EQ(shape.libcerf(20.0), 0.00079978368006100337);
  EXPECT_EQ(shape.region_of(100.0 * shape.to_x()), VoigtShape::Region::outer);
  EXPECT_EQ(shape(100.0), 3.1837356726598781e-05);
  EXPECT_EQ(shape.libcerf(100.0), 3.1837356726598775e-05);
}

TEST(VoigtShape, NearTermsAreLibcerfsExactly) {
  for (const VoigtShape& shape : shapes()) {
    const double from = shape.far_from();
    for (double x = 0.0; x < from; x += from / 97.0) {
      for (const double d : {x / shape.to_x(), -x / shape.to_x()}) {
        ASSERT_EQ(shape(d), shape.libcerf(d)) << d;
      }
    }
  }
}

TEST(VoigtShape, OuterRegionStartsAtRadius32) {
  for (const double y : {1e-300, 1e-6, 1.0, 20.0, 31.9, 32.0, 1e6}) {
    const VoigtShape shape(1.0 / std::sqrt(2.0), y);
    const double from = shape.outer_from();
    EXPECT_GE(from, shape.far_from());
    EXPECT_NEAR(from * from + y * y, y < 32.0 ? 1024.0 : y * y, 1e-9 * (1024.0 + y * y)) << y;
  }
}

TEST(VoigtShape, FarRegionStartsWhereTheRealAxisPartIsNegligible) {
  struct Case {
    double y, from;  // y = gamma / (sigma sqrt 2); the boundary, to 1e-3
  } cases[] = {{1e-300, 27.11}, {1e-12, 8.334}, {1e-6, 8.0}, {0.5, 7.984},
               {5.0, 6.245},    {8.0, 0.0},     {1e6, 0.0}};
  for (const Case& c : cases) {
    const VoigtShape shape(1.0 / std::sqrt(2.0), c.y);
    EXPECT_NEAR(shape.far_from(), c.from, 1e-3) << c.y;
    // exp(y^2 - x^2) at the boundary below 2.4e-16 of y / (sqrt(pi) (x^2 + y^2)), in logarithms.
    if (c.y < 1.0) {
      const double x = shape.far_from();
      EXPECT_LE(c.y * c.y - x * x + std::log(1.7724538509055160 * (x * x + c.y * c.y) / c.y),
                std::log(2.4e-16));
    }
  }
}

// 40-digit values of voigt(d, sigma, gamma) = Re w(z) / (sigma sqrt(2 pi)),
// z = (d + i gamma) / (sigma sqrt 2), at |x| = 1, 1.01, 1.3, 2, 10 and 1000 times
// the far boundary (or 0.5), for ratios gamma / sigma from 1e-6 to 1e6.
struct Exact {
  double sigma, gamma, d, voigt;
};
const Exact kExact[] = {
    {0x1.0000000000000p+0, 0x1.0c6f7a0b5ed8dp-20, 0x1.6a09e667f3bb4p+3, 2.5474910987295686015e-9},
    {0x1.0000000000000p+0, 0x1.0c6f7a0b5ed8dp-20, 0x1.6da8b811f39bdp+3, 2.496074761258651442e-9},
    {0x1.0000000000000p+0, 0x1.0c6f7a0b5ed8dp-20, 0x1.d6a67853f00d1p+3, 1.4923714786411474803e-9},
    {0x1.0000000000000p+0, 0x1.0c6f7a0b5ed8dp-20, 0x1.6a09e667f3bb4p+4, 6.253778330117404695e-10},
    {0x1.0000000000000p+0, 0x1.0c6f7a0b5ed8dp-20, 0x1.c48c6001f0aa1p+6, 2.4873790564176265383e-11},
    {0x1.0000000000000p+0, 0x1.0c6f7a0b5ed8dp-20, 0x1.618dab018404ep+13, 2.4867960440951667106e-15},
    {0x1.0000000000000p+0, 0x1.a36e2eb1c432dp-14, 0x1.6a09e667b6ff6p+3, 2.5474910987226982916e-7},
    {0x1.0000000000000p+0, 0x1.a36e2eb1c432dp-14, 0x1.6da8b811b6448p+3, 2.4960747612561308447e-7},
    {0x1.0000000000000p+0, 0x1.a36e2eb1c432dp-14, 0x1.d6a67853a118cp+3, 1.4923714786880771735e-7},
    {0x1.0000000000000p+0, 0x1.a36e2eb1c432dp-14, 0x1.6a09e667b6ff6p+4, 6.2537783304850002252e-8},
    {0x1.0000000000000p+0, 0x1.a36e2eb1c432dp-14, 0x1.c48c6001a4bf4p+6, 2.4873790566100347876e-9},
    {0x1.0000000000000p+0, 0x1.a36e2eb1c432dp-14, 0x1.618dab0148b56p+13, 2.4867960442894284702e-13},
    {0x1.0000000000000p+0, 0x1.47ae147ae147bp-7, 0x1.6a09dd234b84ep+3, 2.5474910300188869995e-5},
    {0x1.0000000000000p+0, 0x1.47ae147ae147bp-7, 0x1.6da8aeb59164fp+3, 2.4960747360547024183e-5},
    {0x1.0000000000000p+0, 0x1.47ae147ae147bp-7, 0x1.d6a66c477bc66p+3, 1.4923719479803327932e-5},
    {0x1.0000000000000p+0, 0x1.47ae147ae147bp-7, 0x1.6a09dd234b84ep+4, 6.2537820064406164577e-6},
    {0x1.0000000000000p+0, 0x1.47ae147ae147bp-7, 0x1.c48c546c1e661p+6, 2.487380980696401438e-7},
    {0x1.0000000000000p+0, 0x1.47ae147ae147bp-7, 0x1.618da1f477bfcp+13, 2.4867979869041772663e-11},
    {0x1.0000000000000p+0, 0x1.3333333333333p-2, 0x1.69e94f917b59cp+3, 7.642287791869969038e-4},
    {0x1.0000000000000p+0, 0x1.3333333333333p-2, 0x1.6d87cdcdd1106p+3, 7.4881562401404660516e-4},
    {0x1.0000000000000p+0, 0x1.3333333333333p-2, 0x1.d67c1aa386c17p+3, 4.4783819998577884917e-4},
    {0x1.0000000000000p+0, 0x1.3333333333333p-2, 0x1.69e94f917b59cp+4, 1.8771266297686065386e-4},
    {0x1.0000000000000p+0, 0x1.3333333333333p-2, 0x1.c463a375da302p+6, 7.4673363379124308905e-6},
    {0x1.0000000000000p+0, 0x1.3333333333333p-2, 0x1.616dd7b41275ap+13, 7.4656374034585023355e-10},
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.689f26c6b01d1p+3, 2.5468045892952824764e-3},
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.6c3a57cdcb798p+3, 2.4958230107521427671e-3},
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.d4cee59be4f2ap+3, 1.4970792498128286473e-3},
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.689f26c6b01d1p+4, 6.2907583487686653724e-4},
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.c2c6f0785c246p+6, 2.5067718548754454189e-5},
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.602b6bde07fc6p+13, 2.5063770960357863071e-9},
    {0x1.0000000000000p+0, 0x1.8000000000000p+1, 0x1.5d142b6dbadc6p+3, 7.6240648022226770742e-3},
    {0x1.0000000000000p+0, 0x1.8000000000000p+1, 0x1.6091cfb3f27d5p+3, 7.4814885747131986881e-3},
    {0x1.0000000000000p+0, 0x1.8000000000000p+1, 0x1.c5cd6ba83fb81p+3, 4.6074155838293447956e-3},
    {0x1.0000000000000p+0, 0x1.8000000000000p+1, 0x1.5d142b6dbadc6p+4, 1.9809226814688850183e-3},
    {0x1.0000000000000p+0, 0x1.8000000000000p+1, 0x1.b459364929938p+6, 8.0205732936781196706e-5},
    {0x1.0000000000000p+0, 0x1.8000000000000p+1, 0x1.54e5b269287b3p+13, 8.0246185748206593078e-9},
    {0x1.0000000000000p+0, 0x1.4000000000000p+3, 0x1.52a7fa9d2f8ebp+2, 2.4839951820644822389e-2},
    {0x1.0000000000000p+0, 0x1.4000000000000p+3, 0x1.560af051f5273p+2, 2.4733906938364638289e-2},
    {0x1.0000000000000p+0, 0x1.4000000000000p+3, 0x1.b840c5cc576ccp+2, 2.1644939054788055221e-2},
    {0x1.0000000000000p+0, 0x1.4000000000000p+3, 0x1.52a7fa9d2f8ebp+3, 1.5092554759414332551e-2},
    {0x1.0000000000000p+0, 0x1.4000000000000p+3, 0x1.a751f9447b726p+5, 1.0987052596197461065e-3},
    {0x1.0000000000000p+0, 0x1.4000000000000p+3, 0x1.4ab80abd80716p+12, 1.1368170838252114376e-7},
    {0x1.0000000000000p+0, 0x1.9000000000000p+6, 0x1.6a09e667f3bcdp-1, 3.1826215958207271589e-3},
    {0x1.0000000000000p+0, 0x1.9000000000000p+6, 0x1.6da8b811f39d7p-1, 3.1826183990469494509e-3},
    {0x1.0000000000000p+0, 0x1.9000000000000p+6, 0x1.d6a67853f00f1p-1, 3.1825118594975003125e-3},
    {0x1.0000000000000p+0, 0x1.9000000000000p+6, 0x1.6a09e667f3bcdp+0, 3.1821445364181066521e-3},
    {0x1.0000000000000p+0, 0x1.9000000000000p+6, 0x1.c48c6001f0ac0p+2, 3.1669537586961839616e-3},
    {0x1.0000000000000p+0, 0x1.9000000000000p+6, 0x1.618dab0184066p+9, 6.2414060717627803389e-5},
    {0x1.0000000000000p+0, 0x1.3880000000000p+13, 0x1.6a09e667f3bcdp-1, 3.1830988140914257772e-5},
    {0x1.0000000000000p+0, 0x1.3880000000000p+13, 0x1.6da8b811f39d7p-1, 3.1830988137715243641e-5},
    {0x1.0000000000000p+0, 0x1.3880000000000p+13, 0x1.d6a67853f00f1p-1, 3.1830988031097355105e-5},
    {0x1.0000000000000p+0, 0x1.3880000000000p+13, 0x1.6a09e667f3bcdp+0, 3.1830987663449469081e-5},
    {0x1.0000000000000p+0, 0x1.3880000000000p+13, 0x1.c48c6001f0ac0p+2, 3.1830972384583794001e-5},
    {0x1.0000000000000p+0, 0x1.3880000000000p+13, 0x1.618dab0184066p+9, 3.1672625182045603159e-5},
    {0x1.0000000000000p+0, 0x1.e848000000000p+19, 0x1.6a09e667f3bcdp-1, 3.1830988618331320671e-7},
    {0x1.0000000000000p+0, 0x1.e848000000000p+19, 0x1.6da8b811f39d7p-1, 3.1830988618331000769e-7},
    {0x1.0000000000000p+0, 0x1.e848000000000p+19, 0x1.d6a67853f00f1p-1, 3.183098861832033898e-7},
    {0x1.0000000000000p+0, 0x1.e848000000000p+19, 0x1.6a09e667f3bcdp+0, 3.1830988618283574188e-7},
    {0x1.0000000000000p+0, 0x1.e848000000000p+19, 0x1.c48c6001f0ac0p+2, 3.1830988616755686734e-7},
    {0x1.0000000000000p+0, 0x1.e848000000000p+19, 0x1.618dab0184066p+9, 3.1830972702860884814e-7},
    {0x1.7ae147ae147aep-2, 0x1.8d48d35882223p-22, 0x1.0be89b23f6ebep+2, 6.8851110776474816595e-9},
    {0x1.7ae147ae147aep-2, 0x1.8d48d35882223p-22, 0x1.0e9673bb5d3b0p+2, 6.7461480034017601652e-9},
    {0x1.7ae147ae147aep-2, 0x1.8d48d35882223p-22, 0x1.5c47fce1f4329p+2, 4.0334364287598596465e-9},
    {0x1.7ae147ae147aep-2, 0x1.8d48d35882223p-22, 0x1.0be89b23f6ebep+3, 1.6902103594911902083e-9},
    {0x1.7ae147ae147aep-2, 0x1.8d48d35882223p-22, 0x1.4ee2c1ecf4a6dp+5, 6.7226460984260178274e-11},
    {0x1.7ae147ae147aep-2, 0x1.8d48d35882223p-22, 0x1.05a127811f225p+12, 6.7210703894463976007e-15},
    {0x1.7ae147ae147aep-2, 0x1.3660e51d25aabp-15, 0x1.0be89b23c9fa6p+2, 6.8851110776289156527e-7},
    {0x1.7ae147ae147aep-2, 0x1.3660e51d25aabp-15, 0x1.0e9673bb2fd69p+2, 6.7461480033949460482e-7},
    {0x1.7ae147ae147aep-2, 0x1.3660e51d25aabp-15, 0x1.5c47fce1b9c58p+2, 4.0334364288866949837e-7},
    {0x1.7ae147ae147aep-2, 0x1.3660e51d25aabp-15, 0x1.0be89b23c9fa6p+3, 1.6902103595905409246e-7},
    {0x1.7ae147ae147aep-2, 0x1.3660e51d25aabp-15, 0x1.4ee2c1ecbc791p+5, 6.7226460989460386625e-9},
    {0x1.7ae147ae147aep-2, 0x1.3660e51d25aabp-15, 0x1.05a12780f33e8p+12, 6.7210703899714293854e-13},
    {0x1.7ae147ae147aep-2, 0x1.e4f765fd8adacp-9, 0x1.0be8944832c39p+2, 6.8851108919429401498e-5},
    {0x1.7ae147ae147aep-2, 0x1.e4f765fd8adacp-9, 0x1.0e966cce0a4fdp+2, 6.7461479352829797211e-5},
    {0x1.7ae147ae147aep-2, 0x1.e4f765fd8adacp-9, 0x1.5c47f3f775318p+2, 4.0334376972441431515e-5},
    {0x1.7ae147ae147aep-2, 0x1.e4f765fd8adacp-9, 0x1.0be8944832c39p+3, 1.6902113530920590609e-5},
    {0x1.7ae147ae147aep-2, 0x1.e4f765fd8adacp-9, 0x1.4ee2b95a3f748p+5, 6.7226512991794630012e-7},
    {0x1.7ae147ae147aep-2, 0x1.e4f765fd8adacp-9, 0x1.05a120ce81930p+12, 6.7210756402815610377e-11},
    {0x1.7ae147ae147aep-2, 0x1.c6a7ef9db22d1p-4, 0x1.0bd07d70c6ccap+2, 2.0654831869918840567e-3},
    {0x1.7ae147ae147aep-2, 0x1.c6a7ef9db22d1p-4, 0x1.0e7e184b811b7p+2, 2.0238260108487752656e-3},
    {0x1.7ae147ae147aep-2, 0x1.c6a7ef9db22d1p-4, 0x1.5c28a3129c0a0p+2, 1.2103735134750781831e-3},
    {0x1.7ae147ae147aep-2, 0x1.c6a7ef9db22d1p-4, 0x1.0bd07d70c6ccap+3, 5.0733152155908297754e-4},
    {0x1.7ae147ae147aep-2, 0x1.c6a7ef9db22d1p-4, 0x1.4ec49cccf87fcp+5, 2.0181990102466032911e-5},
    {0x1.7ae147ae147aep-2, 0x1.c6a7ef9db22d1p-4, 0x1.05899a802223ep+12, 2.0177398387725678436e-9},
    {0x1.7ae147ae147aep-2, 0x1.7ae147ae147aep-2, 0x1.0adc2c0de8b96p+2, 6.8832556467440052368e-3},
    {0x1.7ae147ae147aep-2, 0x1.7ae147ae147aep-2, 0x1.0d87557472bb3p+2, 6.7454675966274129161e-3},
    {0x1.7ae147ae147aep-2, 0x1.7ae147ae147aep-2, 0x1.5aeb061214f10p+2, 4.04616013462926619e-3},
    {0x1.7ae147ae147aep-2, 0x1.7ae147ae147aep-2, 0x1.0adc2c0de8b96p+3, 1.7002049591266659618e-3},
    {0x1.7ae147ae147aep-2, 0x1.7ae147ae147aep-2, 0x1.4d93371162e7bp+5, 6.7750590672309345918e-5},
    {0x1.7ae147ae147aep-2, 0x1.7ae147ae147aep-2, 0x1.049b030595450p+12, 6.7739921514480709007e-9},
    {0x1.7ae147ae147aep-2, 0x1.1c28f5c28f5c2p+0, 0x1.02517c4c14845p+2, 2.0605580546547780089e-2},
    {0x1.7ae147ae147aep-2, 0x1.1c28f5c28f5c2p+0, 0x1.04e6c7c7b88ffp+2, 2.0220239391116750428e-2},
    {0x1.7ae147ae147aep-2, 0x1.1c28f5c28f5c2p+0, 0x1.4fd054c94ddf4p+2, 1.2452474550890119548e-2},
    {0x1.7ae147ae147aep-2, 0x1.1c28f5c28f5c2p+0, 0x1.02517c4c14845p+3, 5.353845085051041687e-3},
    {0x1.7ae147ae147aep-2, 0x1.1c28f5c28f5c2p+0, 0x1.42e5db5f19a57p+5, 2.1677225118048973625e-4},
    {0x1.7ae147ae147aep-2, 0x1.1c28f5c28f5c2p+0, 0x1.f88726c498128p+11, 2.1688158310326102048e-8},
    {0x1.7ae147ae147aep-2, 0x1.d99999999999ap+1, 0x1.f5360c823c24ep+0, 6.7135004920661691858e-2},
    {0x1.7ae147ae147aep-2, 0x1.d99999999999ap+1, 0x1.fa39263bdb772p+0, 6.6848397130715253075e-2},
    {0x1.7ae147ae147aep-2, 0x1.d99999999999ap+1, 0x1.45c9882173e4cp+1, 5.849983528321098016e-2},
    {0x1.7ae147ae147aep-2, 0x1.d99999999999ap+1, 0x1.f5360c823c24ep+1, 4.0790688538957672953e-2},
    {0x1.7ae147ae147aep-2, 0x1.d99999999999ap+1, 0x1.3941c7d165970p+4, 2.9694736746479658737e-3},
    {0x1.7ae147ae147aep-2, 0x1.d99999999999ap+1, 0x1.e976c8372ebc0p+10, 3.072478604933007173e-7},
    {0x1.7ae147ae147aep-2, 0x1.2800000000000p+5, 0x1.0be89b23f6ed0p-2, 8.6016799887046679971e-3},
    {0x1.7ae147ae147aep-2, 0x1.2800000000000p+5, 0x1.0e9673bb5d3c2p-2, 8.6016713487755390568e-3},
    {0x1.7ae147ae147aep-2, 0x1.2800000000000p+5, 0x1.5c47fce1f4341p-2, 8.601383404047298142e-3},
    {0x1.7ae147ae147aep-2, 0x1.2800000000000p+5, 0x1.0be89b23f6ed0p-1, 8.6003906389678558165e-3},
    {0x1.7ae147ae147aep-2, 0x1.2800000000000p+5, 0x1.4ee2c1ecf4a84p+1, 8.5593344829626593535e-3},
    {0x1.7ae147ae147aep-2, 0x1.2800000000000p+5, 0x1.05a127811f237p+8, 1.686866505881832524e-4},
    {0x1.7ae147ae147aep-2, 0x1.ce80000000000p+11, 0x1.0be89b23f6ed0p-2, 8.6029697678146642628e-5},
    {0x1.7ae147ae147aep-2, 0x1.ce80000000000p+11, 0x1.0e9673bb5d3c2p-2, 8.6029697669500658488e-5},
    {0x1.7ae147ae147aep-2, 0x1.ce80000000000p+11, 0x1.5c47fce1f4341p-2, 8.6029697381344202987e-5},
    {0x1.7ae147ae147aep-2, 0x1.ce80000000000p+11, 0x1.0be89b23f6ed0p-1, 8.6029696387701267787e-5},
    {0x1.7ae147ae147aep-2, 0x1.ce80000000000p+11, 0x1.4ee2c1ecf4a84p+1, 8.6029655093469713517e-5},
    {0x1.7ae147ae147aep-2, 0x1.ce80000000000p+11, 0x1.05a127811f237p+8, 8.5601689681204332862e-5},
    {0x1.7ae147ae147aep-2, 0x1.6954000000000p+18, 0x1.0be89b23f6ed0p-2, 8.602969896846302884e-7},
    {0x1.7ae147ae147aep-2, 0x1.6954000000000p+18, 0x1.0e9673bb5d3c2p-2, 8.6029698968462164242e-7},
    {0x1.7ae147ae147aep-2, 0x1.6954000000000p+18, 0x1.5c47fce1f4341p-2, 8.6029698968433348594e-7},
    {0x1.7ae147ae147aep-2, 0x1.6954000000000p+18, 0x1.0be89b23f6ed0p-1, 8.6029698968333984292e-7},
    {0x1.7ae147ae147aep-2, 0x1.6954000000000p+18, 0x1.4ee2c1ecf4a84p+1, 8.6029698964204558741e-7},
    {0x1.7ae147ae147aep-2, 0x1.6954000000000p+18, 0x1.05a127811f237p+8, 8.6029655953678067066e-7},
    {0x1.0fc8711f05673p+2, 0x1.1cfc2fe71e52dp-18, 0x1.805bf29e49c48p+5, 5.9988831038263081026e-10},
    {0x1.0fc8711f05673p+2, 0x1.1cfc2fe71e52dp-18, 0x1.8433e83e974e2p+5, 5.8778068817077160785e-10},
    {0x1.0fc8711f05673p+2, 0x1.1cfc2fe71e52dp-18, 0x1.f3aabb675fe5fp+5, 3.5142662725366523493e-10},
    {0x1.0fc8711f05673p+2, 0x1.1cfc2fe71e52dp-18, 0x1.805bf29e49c48p+6, 1.4726522568940648801e-10},
    {0x1.0fc8711f05673p+2, 0x1.1cfc2fe71e52dp-18, 0x1.e072ef45dc35ap+8, 5.8573300616423982653e-12},
    {0x1.0fc8711f05673p+2, 0x1.1cfc2fe71e52dp-18, 0x1.7759caee9409fp+15, 5.8559571725389690071e-16},
    {0x1.0fc8711f05673p+2, 0x1.bd4a0ad91f616p-12, 0x1.805bf29e094a1p+5, 5.9988831038101289905e-8},
    {0x1.0fc8711f05673p+2, 0x1.bd4a0ad91f616p-12, 0x1.8433e83e562ebp+5, 5.8778068817017791918e-8},
    {0x1.0fc8711f05673p+2, 0x1.bd4a0ad91f616p-12, 0x1.f3aabb670c138p+5, 3.5142662726471627399e-8},
    {0x1.0fc8711f05673p+2, 0x1.bd4a0ad91f616p-12, 0x1.805bf29e094a1p+6, 1.4726522569806268235e-8},
    {0x1.0fc8711f05673p+2, 0x1.bd4a0ad91f616p-12, 0x1.e072ef458b9cap+8, 5.8573300620954840126e-10},
    {0x1.0fc8711f05673p+2, 0x1.bd4a0ad91f616p-12, 0x1.7759caee55126p+15, 5.8559571729964187359e-14},
    {0x1.0fc8711f05673p+2, 0x1.5be1d879a0841p-5, 0x1.805be8c759f72p+5, 5.9988829420250160452e-6},
    {0x1.0fc8711f05673p+2, 0x1.5be1d879a0841p-5, 0x1.8433de4e77066p+5, 5.8778068223569513708e-6},
    {0x1.0fc8711f05673p+2, 0x1.5be1d879a0841p-5, 0x1.f3aaae9cc1c14p+5, 3.514267377745974142e-6},
    {0x1.0fc8711f05673p+2, 0x1.5be1d879a0841p-5, 0x1.805be8c759f72p+6, 1.4726531226020235706e-6},
    {0x1.0fc8711f05673p+2, 0x1.5be1d879a0841p-5, 0x1.e072e2f93074ep+8, 5.857334592972627932e-8},
    {0x1.0fc8711f05673p+2, 0x1.5be1d879a0841p-5, 0x1.7759c152addb5p+15, 5.8559617475045701449e-12},
    {0x1.0fc8711f05673p+2, 0x1.4623baf2067bdp+0, 0x1.8039596d023fbp+5, 1.7996212482190715849e-4},
    {0x1.0fc8711f05673p+2, 0x1.4623baf2067bdp+0, 0x1.8410f67ae61c7p+5, 1.7633260414606358557e-4},
    {0x1.0fc8711f05673p+2, 0x1.4623baf2067bdp+0, 0x1.f37dc10db61f8p+5, 1.0545783702570913133e-4},
    {0x1.0fc8711f05673p+2, 0x1.4623baf2067bdp+0, 0x1.8039596d023fbp+6, 4.4202954148405044647e-5},
    {0x1.0fc8711f05673p+2, 0x1.4623baf2067bdp+0, 0x1.e047afc842cf8p+8, 1.7584233291504198701e-6},
    {0x1.0fc8711f05673p+2, 0x1.4623baf2067bdp+0, 0x1.7738015474323p+15, 1.7580232606596889844e-10},
    {0x1.0fc8711f05673p+2, 0x1.0fc8711f05673p+2, 0x1.7edad5bc92a84p+5, 5.9972664976493456196e-4},
    {0x1.0fc8711f05673p+2, 0x1.0fc8711f05673p+2, 0x1.82aef17956af0p+5, 5.8772140545686415702e-4},
    {0x1.0fc8711f05673p+2, 0x1.0fc8711f05673p+2, 0x1.f1b615db8b745p+5, 3.5253522264591458401e-4},
    {0x1.0fc8711f05673p+2, 0x1.0fc8711f05673p+2, 0x1.7edad5bc92a84p+6, 1.4813603858126249378e-4},
    {0x1.0fc8711f05673p+2, 0x1.0fc8711f05673p+2, 0x1.de918b2bb7525p+8, 5.9029966121801140138e-6},
    {0x1.0fc8711f05673p+2, 0x1.0fc8711f05673p+2, 0x1.75e1b4ba27385p+15, 5.9020670261515301005e-10},
    {0x1.0fc8711f05673p+2, 0x1.97aca9ae881acp+3, 0x1.7299abfb4a840p+5, 1.7953300620888887833e-3},
    {0x1.0fc8711f05673p+2, 0x1.97aca9ae881acp+3, 0x1.764e6894d80fap+5, 1.7617559262404670828e-3},
    {0x1.0fc8711f05673p+2, 0x1.97aca9ae881acp+3, 0x1.e1c7c5f9e0deep+5, 1.0849634572589316005e-3},
    {0x1.0fc8711f05673p+2, 0x1.97aca9ae881acp+3, 0x1.7299abfb4a840p+6, 4.664716437979390715e-4},
    {0x1.0fc8711f05673p+2, 0x1.97aca9ae881acp+3, 0x1.cf4016fa1d252p+8, 1.8887006764593140668e-5},
    {0x1.0fc8711f05673p+2, 0x1.97aca9ae881acp+3, 0x1.69ea11f366c4fp+15, 1.8896532673715380285e-9},
    {0x1.0fc8711f05673p+2, 0x1.53ba8d66c6c10p+5, 0x1.6788fb2d5f419p+4, 5.8493616464857471077e-3},
    {0x1.0fc8711f05673p+2, 0x1.53ba8d66c6c10p+5, 0x1.6b216416c92b4p+4, 5.8243899850391144005e-3},
    {0x1.0fc8711f05673p+2, 0x1.53ba8d66c6c10p+5, 0x1.d3654687c8a20p+4, 5.0969936359688188486e-3},
    {0x1.0fc8711f05673p+2, 0x1.53ba8d66c6c10p+5, 0x1.6788fb2d5f419p+5, 3.5540250478196148182e-3},
    {0x1.0fc8711f05673p+2, 0x1.53ba8d66c6c10p+5, 0x1.c16b39f8b711fp+7, 2.5872531689335142456e-4},
    {0x1.0fc8711f05673p+2, 0x1.53ba8d66c6c10p+5, 0x1.5f1bc54a4f060p+14, 2.6769996565252404074e-8},
    {0x1.0fc8711f05673p+2, 0x1.a8a930c078714p+8, 0x1.805bf29e49c63p+1, 7.494501129587037541e-4},
    {0x1.0fc8711f05673p+2, 0x1.a8a930c078714p+8, 0x1.8433e83e974ffp+1, 7.4944936017600663648e-4},
    {0x1.0fc8711f05673p+2, 0x1.a8a930c078714p+8, 0x1.f3aabb675fe82p+1, 7.4942427202934349675e-4},
    {0x1.0fc8711f05673p+2, 0x1.a8a930c078714p+8, 0x1.805bf29e49c63p+2, 7.4933777405430762814e-4},
    {0x1.0fc8711f05673p+2, 0x1.a8a930c078714p+8, 0x1.e072ef45dc37cp+4, 7.457606192663883146e-4},
    {0x1.0fc8711f05673p+2, 0x1.a8a930c078714p+8, 0x1.7759caee940b9p+11, 1.4697388126964872945e-5},
    {0x1.0fc8711f05673p+2, 0x1.4bc42e165e187p+15, 0x1.805bf29e49c63p+1, 7.4956248927367344559e-6},
    {0x1.0fc8711f05673p+2, 0x1.4bc42e165e187p+15, 0x1.8433e83e974ffp+1, 7.4956248919834241957e-6},
    {0x1.0fc8711f05673p+2, 0x1.4bc42e165e187p+15, 0x1.f3aabb675fe82p+1, 7.4956248668768300874e-6},
    {0x1.0fc8711f05673p+2, 0x1.4bc42e165e187p+15, 0x1.805bf29e49c63p+2, 7.4956247803023689352e-6},
    {0x1.0fc8711f05673p+2, 0x1.4bc42e165e187p+15, 0x1.e072ef45dc37cp+4, 7.4956211824044532339e-6},
    {0x1.0fc8711f05673p+2, 0x1.4bc42e165e187p+15, 0x1.7759caee940b9p+11, 7.4583332657433024757e-6},
    {0x1.0fc8711f05673p+2, 0x1.0331440179832p+22, 0x1.805bf29e49c63p+1, 7.4956250051598605379e-8},
    {0x1.0fc8711f05673p+2, 0x1.0331440179832p+22, 0x1.8433e83e974ffp+1, 7.4956250051597852068e-8},
    {0x1.0fc8711f05673p+2, 0x1.0331440179832p+22, 0x1.f3aabb675fe82p+1, 7.4956250051572745472e-8},
    {0x1.0fc8711f05673p+2, 0x1.0331440179832p+22, 0x1.805bf29e49c63p+2, 7.4956250051486171004e-8},
    {0x1.0fc8711f05673p+2, 0x1.0331440179832p+22, 0x1.e072ef45dc37cp+4, 7.4956250047888271001e-8},
    {0x1.0fc8711f05673p+2, 0x1.0331440179832p+22, 0x1.7759caee940b9p+11, 7.4956212573529796926e-8},
};

TEST(VoigtShape, FarTermsHoldTheirBoundAgainstHighPrecision) {
  double worst_far = 0.0, worst_libcerf = 0.0;
  for (const Exact& e : kExact) {
    const VoigtShape shape(e.sigma, e.gamma);
    worst_libcerf = std::max(worst_libcerf, relative(shape.libcerf(e.d), e.voigt));
    if (shape.region_of(e.d * shape.to_x()) == VoigtShape::Region::near) continue;
    const double error = relative(shape(e.d), e.voigt);
    EXPECT_LE(error, kVoigtFarRelativeError) << e.sigma << " " << e.gamma << " " << e.d;
    worst_far = std::max(worst_far, error);
  }
  // libcerf itself, at the same points (near ones too).
  EXPECT_LE(worst_libcerf, kLibcerfError);
  RecordProperty("worst_far", testing::PrintToString(worst_far));
}

TEST(VoigtShape, RemoteTermsAreLibcerfs) {
  // |x| >= 2^50 or y >= 2^50: the one-node form, scaled.
  const double two50 = 1125899906842624.0;
  struct Case {
    double sigma, gamma, d;
  } cases[] = {{1.0, 1.0, 2.0 * two50}, {1.0, 1.0, -1e300},       {1e-3, 1.0, 1e15},
               {1.0, 4.0 * two50, 0.0}, {1.0, 4.0 * two50, 1e17}, {1.0, 4.0 * two50, -1e40},
               {1e-100, 1e-90, 1e100},  {1.0, 1e-6, 1e200}};
  for (const Case& c : cases) {
    const VoigtShape shape(c.sigma, c.gamma);
    ASSERT_EQ(shape.region_of(c.d * shape.to_x()), VoigtShape::Region::remote) << c.d;
    const double reference = shape.libcerf(c.d);
    if (std::fabs(reference) < 1e-300) {
      EXPECT_NEAR(shape(c.d), reference, 1e-300) << c.d;
    } else {
      EXPECT_LE(relative(shape(c.d), reference), kAgainstLibcerf) << c.d;
    }
  }
}

TEST(VoigtShape, NonFiniteDistancesGoToLibcerf) {
  const VoigtShape shape(1.0, 2.0);
  for (const double d : {std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(), std::nan("")}) {
    EXPECT_EQ(shape.region_of(d * shape.to_x()), VoigtShape::Region::near);
  }
}

// The straightforward sum: libcerf's voigt at every point and line, in table order.
Vector straightforward(const Vector& position, const Vector& intensity, const ProfileParameters& p,
                       const Vector& x) {
  const VoigtShape shape(p.sigma, p.gamma);
  const double peak = p.normalisation == Normalisation::height ? shape.libcerf(0.0) : 1.0;
  Vector y(x.size(), 0.0);
  for (std::size_t k = 0; k < position.size(); ++k) {
    const double a = p.normalisation == Normalisation::height ? intensity[k] / peak : intensity[k];
    for (std::size_t i = 0; i < x.size(); ++i) {
      y[i] = shape.libcerf(x[i] - position[k]) * a + y[i];
    }
  }
  return y;
}

struct Spectrum {
  Vector position, intensity, x;
};

Spectrum random_spectrum(std::size_t lines, std::size_t points, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> where(-50.0, 1050.0), strength(0.0, 100.0);
  Spectrum s;
  for (std::size_t k = 0; k < lines; ++k) {
    s.position.push_back(where(random));
    s.intensity.push_back(strength(random));
  }
  for (std::size_t i = 0; i < points; ++i) {
    s.x.push_back(1000.0 * static_cast<double>(i) / static_cast<double>(points - 1));
  }
  return s;
}

Vector add(const Spectrum& s, const ProfileParameters& p, const Vector& x,
           VoigtPath path = VoigtPath::fastest) {
  Vector y(x.size(), 0.0);
  const VoigtTerms terms(s.position, s.intensity, p, x, path);
  terms.add(x, y, 0, x.size());
  return y;
}

const ProfileParameters kSpectra[] = {
    voigt_parameters(4.246609001440095, 5.0),           voigt_parameters(2.0, 2e-6),
    voigt_parameters(1e-3, 1.0, Normalisation::height), voigt_parameters(0.5, 5e5),
    voigt_parameters(30.0, 0.3, Normalisation::height),
};

TEST(VoigtTerms, SpectrumIsTheStraightforwardSumWithinTheBound) {
  const Spectrum s = random_spectrum(120, 3001, 17);
  for (const ProfileParameters& p : kSpectra) {
    SCOPED_TRACE(testing::Message() << "sigma " << p.sigma << " gamma " << p.gamma);
    Vector y(s.x.size(), 0.0);
    add_profiles(s.position, s.intensity, {}, p, s.x, y);
    const Vector expected = straightforward(s.position, s.intensity, p, s.x);
    for (std::size_t i = 0; i < y.size(); ++i) {
      // Positive terms: the sum's relative error is at most its terms'.
      ASSERT_LE(relative(y[i], expected[i]), kAgainstLibcerf) << s.x[i];
    }
  }
}

TEST(VoigtTerms, PathsAndGridOrderGiveTheSameBits) {
  const Spectrum s = random_spectrum(60, 2001, 3);
  // A shuffled grid is classed point by point; its sums are the ascending grid's, shuffled.
  std::vector<std::size_t> order(s.x.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937_64(9));
  Vector shuffled(s.x.size());
  for (std::size_t i = 0; i < order.size(); ++i) shuffled[i] = s.x[order[i]];
  for (const ProfileParameters& p : kSpectra) {
    const Vector fastest = add(s, p, s.x);
    EXPECT_EQ(add(s, p, s.x, VoigtPath::scalar), fastest);
    const Vector y = add(s, p, shuffled);
    for (std::size_t i = 0; i < order.size(); ++i) ASSERT_EQ(y[i], fastest[order[i]]);
  }
}

TEST(VoigtTerms, BlocksAndThreadsNeverChangeASum) {
  const Spectrum s = random_spectrum(200, 5001, 5);
  for (const ProfileParameters& p : kSpectra) {
    const Vector whole = add(s, p, s.x);
    Vector pieces(s.x.size(), 0.0);
    const VoigtTerms terms(s.position, s.intensity, p, s.x);
    for (std::size_t begin = 0; begin < s.x.size(); begin += 333) {
      terms.add(s.x, pieces, begin, std::min(s.x.size(), begin + 333));
    }
    EXPECT_EQ(pieces, whole);
    for (const unsigned threads : {1u, 2u, 5u}) {
      Vector y(s.x.size(), 0.0);
      add_profiles(s.position, s.intensity, {}, p, s.x, y, threads);
      EXPECT_EQ(y, whole) << threads;
    }
  }
}

TEST(VoigtTerms, NonFiniteLinesSpreadAsInTheStraightforwardSum) {
  const double inf = std::numeric_limits<double>::infinity();
  const Spectrum s{{10.0, inf, 20.0, std::nan(""), 30.0}, {1.0, 1.0, inf, 1.0, 2.0}, {}};
  Vector x;
  for (int i = 0; i <= 400; ++i) x.push_back(i * 0.1);
  const ProfileParameters p = voigt_parameters(1.0, 0.5);
  const Vector y = add(s, p, x);
  const Vector expected = straightforward(s.position, s.intensity, p, x);
  for (std::size_t i = 0; i < x.size(); ++i) {
    ASSERT_EQ(std::isnan(y[i]), std::isnan(expected[i])) << x[i];
    if (std::isfinite(expected[i])) {
      ASSERT_LE(relative(y[i], expected[i]), kAgainstLibcerf) << x[i];
    }
  }
}

}  // namespace
}  // namespace broaden::detail
