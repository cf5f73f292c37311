#pragma once
// One set of array kernels per vector width (see vector_math.cpp).

namespace velmora::detail {

struct VectorKernels {
    void (*sin)(const double*, double*, int);
    void (*cos)(const double*, double*, int);
    void (*atan)(const double*, double*, int);
    void (*pow)(const double*, double, double*, int);
};

const VectorKernels& Sse2Kernels();
const VectorKernels& Avx2Kernels();
const VectorKernels& Avx512Kernels();

} // namespace velmora::detail
