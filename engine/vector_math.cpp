#include "vector_math.h"

#include "vector_math_kernels.h"

namespace velmora {

namespace {
const detail::VectorKernels& Kernels()
{
    static const detail::VectorKernels& k = [] () -> const detail::VectorKernels& {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f")) return detail::Avx512Kernels();
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
            return detail::Avx2Kernels();
        return detail::Sse2Kernels();
    }();
    return k;
}
} // namespace

void VecSin(const double* in, double* out, int n) { Kernels().sin(in, out, n); }
void VecCos(const double* in, double* out, int n) { Kernels().cos(in, out, n); }
void VecAtan(const double* in, double* out, int n) { Kernels().atan(in, out, n); }
void VecPow(const double* in, double exponent, double* out, int n) { Kernels().pow(in, exponent, out, n); }

} // namespace velmora
