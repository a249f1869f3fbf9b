// Each kernel's exponential against a long double one: within the bound
// the engine trusts it with, over arguments 0 to 700.
#include "synthesis/window_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace broaden::detail {
namespace {

struct KernelCase {
  const char* name;
  AddTerms add;
  double error, error_per_q;  // the trusted bound, units of 2^-53
};

std::vector<KernelCase> kernels() {
  std::vector<KernelCase> all = {{"scalar", add_gaussian_scalar, 2.0, 0.0},
                                 {"perturbed", add_terms_perturbed, 16.0, 0.0}};
#ifdef BROADEN_HAVE_X86_KERNELS
  if (fma_kernel_available()) all.push_back({"fma", add_terms_fma, 32.0, 3.02});
#endif
  return all;
}

TEST(WindowKernels, ExponentialsStayWithinTheirTrustedBounds) {
  constexpr int kPoints = 20011;  // not a multiple of four: a tail every run
  for (const KernelCase& kernel : kernels()) {
    for (const double spread : {0.02, 1.0, 50.0, 20000.0}) {
      const GaussianTerm peak{1000.0, 1.0, spread};
      std::vector<double> w(kPoints), t(kPoints, 0.0);
      // q from 0 to 700, densely, on both sides of the peak.
      for (int i = 0; i < kPoints; ++i) {
        const double q = 700.0 * i / (kPoints - 1);
        w[i] = 1000.0 + (i % 2 ? -1 : 1) * std::sqrt(q * spread);
      }
      kernel.add(w.data(), t.data(), w.size(), peak);
      double worst = 0.0;
      for (int i = 0; i < kPoints; ++i) {
        const double d = w[i] - peak.position;
        const double q = (d * d) / spread;  // the straightforward q
        const long double exact = std::exp(-static_cast<long double>(q));
        const double units = static_cast<double>(std::fabs(t[i] - exact) / exact) * 0x1p53;
        worst = std::max(worst, units / (kernel.error + kernel.error_per_q * q));
      }
      EXPECT_LE(worst, 1.0) << kernel.name << " spread " << spread;
    }
  }
}

#ifdef BROADEN_HAVE_X86_KERNELS
TEST(WindowKernels, ProductRecurrenceStaysWithinItsBoundOnTheGrid) {
  if (!fma_kernel_available()) GTEST_SKIP() << "no AVX2 and FMA here";
  for (const double width : {0.5, 1.0, 5.0, 37.3, 100.0, 1000.0}) {
    for (const double frequency : {1000.03, 1234.567, 20.0}) {
      const GaussianTerm peak{frequency, 1.0, (width + width) * width};
      // The grid points with q up to 45, as the engine gives them.
      std::vector<double> w;
      double q_max = 0.0;
      for (int point = 1; point <= 20000; ++point) {
        const auto abscissa = static_cast<double>(static_cast<float>(point) * 0.1f);
        const double d = abscissa - frequency;
        const double q = (d * d) / peak.spread;
        if (q > 45.0) continue;
        w.push_back(abscissa);
        q_max = std::max(q_max, q);
      }
      const double bound = recurrence_error(peak, q_max);
      ASSERT_TRUE(std::isfinite(bound)) << "width " << width;
      std::vector<double> t(w.size(), 0.0);
      add_terms_recurrence(w.data(), t.data(), w.size(), peak);
      double worst = 0.0;
      for (std::size_t i = 0; i < w.size(); ++i) {
        const double d = w[i] - frequency;
        const long double exact = std::exp(-static_cast<long double>((d * d) / peak.spread));
        worst = std::max(worst, static_cast<double>(std::fabs(t[i] - exact) / exact) * 0x1p53);
      }
      EXPECT_LE(worst, bound) << "width " << width << " frequency " << frequency;
    }
  }
}
#endif

}  // namespace
}  // namespace broaden::detail
