#include <emmintrin.h>
#include <sleef.h>

#include "vector_math_kernels.h"

#define VEC __m128d
#define W 2
#define LOADU _mm_loadu_pd
#define STOREU _mm_storeu_pd
#define SET1 _mm_set1_pd
#define SLEEF_SIN Sleef_sind2_u35sse2
#define SLEEF_COS Sleef_cosd2_u35sse2
#define SLEEF_ATAN Sleef_atand2_u35sse2
#define SLEEF_LOG Sleef_logd2_u35sse2
#define SLEEF_EXP Sleef_expd2_u10sse2
#define MUL _mm_mul_pd
#include "vector_math_impl.inc"

namespace velmora::detail {
const VectorKernels& Sse2Kernels()
{
    static const VectorKernels k{KSin, KCos, KAtan, KPow};
    return k;
}
} // namespace velmora::detail
