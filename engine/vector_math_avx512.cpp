// Built with AVX-512 enabled; only called after the processor says it has AVX-512F.
#include <immintrin.h>
#include <sleef.h>

#include "vector_math_kernels.h"

#define VEC __m512d
#define W 8
#define LOADU _mm512_loadu_pd
#define STOREU _mm512_storeu_pd
#define SET1 _mm512_set1_pd
#define SLEEF_SIN Sleef_sind8_u35avx512f
#define SLEEF_COS Sleef_cosd8_u35avx512f
#define SLEEF_ATAN Sleef_atand8_u35avx512f
#define SLEEF_LOG Sleef_logd8_u35avx512f
#define SLEEF_EXP Sleef_expd8_u10avx512f
#define MUL _mm512_mul_pd
#include "vector_math_impl.inc"

namespace velmora::detail {
const VectorKernels& Avx512Kernels()
{
    static const VectorKernels k{KSin, KCos, KAtan, KPow};
    return k;
}
} // namespace velmora::detail
