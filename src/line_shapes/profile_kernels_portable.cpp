// The kernel sets where the build has no vector exponential: the scalar loops only.
#include <array>

#include "line_shapes/profile_kernels.h"

namespace broaden::detail {

std::span<const KernelSet> kernel_sets() noexcept {
  static constexpr std::array<KernelSet, 1> kScalar{
      KernelSet{"scalar", add_gaussian_scalar, add_lorentzian_scalar, add_pseudo_voigt_scalar}};
  return kScalar;
}

}  // namespace broaden::detail
