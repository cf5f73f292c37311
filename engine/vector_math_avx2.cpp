// Built with AVX2 enabled; only called after the processor says it has AVX2 and FMA.
#include <immintrin.h>
#include <sleef.h>

#include "vector_math_kernels.h"

#define VEC __m256d
#define W 4
#define LOADU _mm256_loadu_pd
#define STOREU _mm256_storeu_pd
#define SET1 _mm256_set1_pd
#define SLEEF_SIN Sleef_sind4_u35avx2
#define SLEEF_COS Sleef_cosd4_u35avx2
#define SLEEF_ATAN Sleef_atand4_u35avx2
#define SLEEF_LOG Sleef_logd4_u35avx2
#define SLEEF_EXP Sleef_expd4_u10avx2
#define MUL _mm256_mul_pd
#include "vector_math_impl.inc"

namespace velmora::detail {
const VectorKernels& Avx2Kernels()
{
    static const VectorKernels k{KSin, KCos, KAtan, KPow};
    return k;
}
} // namespace velmora::detail
