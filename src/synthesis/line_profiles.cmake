# The line shapes of broaden-batch (line_profiles.h): a library of their own,
# broaden_line_shapes, beside the classic engine and under the same include
# root. They need libcerf's Faddeeva function for the Voigt profile (Debian:
# libcerf-dev); without it they, and broaden-batch, are left out, and broaden
# builds with the compiler and CMake alone.
find_path(CERF_INCLUDE_DIR cerf.h)
find_library(CERF_LIBRARY cerf)
if(NOT CERF_INCLUDE_DIR OR NOT CERF_LIBRARY)
  message(STATUS "libcerf not found: the line shapes and broaden-batch are not built")
  return()
endif()

add_library(broaden_line_shapes STATIC
  ${CMAKE_CURRENT_LIST_DIR}/line_profiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/voigt_terms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile_kernels_scalar.cpp)
target_include_directories(broaden_line_shapes PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include
                                               PRIVATE ${CMAKE_CURRENT_LIST_DIR}/private)
target_include_directories(broaden_line_shapes SYSTEM PRIVATE ${CERF_INCLUDE_DIR})
# The Gaussian term and the block scheduler come from the classic engine's library.
target_link_libraries(broaden_line_shapes PUBLIC Threads::Threads
                                          PRIVATE broaden_synthesis ${CERF_LIBRARY} m)

# The vector loops need x86-64 and glibc's vector exponentials (libmvec);
# elsewhere, or where BROADEN_PORTABLE_KERNELS asks for it (so that an x86-64
# build compiles and tests them), the portable scalar loops run alone.
if(BROADEN_PORTABLE_KERNELS)
  target_sources(broaden_line_shapes PRIVATE ${CMAKE_CURRENT_LIST_DIR}/profile_kernels_portable.cpp)
  return()
endif()
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LIBRARIES mvec m)
check_cxx_source_compiles([=[
#include <immintrin.h>
extern "C" __m128d _ZGVbN2v_exp(__m128d x);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_exp(__m256d x);
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8v_exp(__m512d x);
__attribute__((target("avx2"))) double four(double v) {
  return _mm256_cvtsd_f64(_ZGVdN4v_exp(_mm256_set1_pd(v)));
}
__attribute__((target("avx512f"))) double eight(double v) {
  return _mm512_reduce_add_pd(_ZGVeN8v_exp(_mm512_set1_pd(v)));
}
int main(int argc, char**) {
  return static_cast<int>(_mm_cvtsd_f64(_ZGVbN2v_exp(_mm_set1_pd(argc))) + four(argc) +
                          eight(argc));
}
]=] BROADEN_HAVE_X86_VECTOR_EXP)
unset(CMAKE_REQUIRED_LIBRARIES)
if(BROADEN_HAVE_X86_VECTOR_EXP)
  target_sources(broaden_line_shapes PRIVATE ${CMAKE_CURRENT_LIST_DIR}/profile_kernels_x86.cpp)
  target_link_libraries(broaden_line_shapes PRIVATE mvec m)
else()
  target_sources(broaden_line_shapes PRIVATE ${CMAKE_CURRENT_LIST_DIR}/profile_kernels_portable.cpp)
endif()
