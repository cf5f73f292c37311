#pragma once
// Element-wise sin, cos, atan and pow over arrays, each result within a few ulp of the
// C library's (SLEEF's 1.0 and 3.5 ulp routines). The widest vector unit of the processor is chosen once, at first use.
// Pure; any thread; never allocates. Arrays may alias (out == in).

namespace velmora {

void VecSin(const double* in, double* out, int n);
void VecCos(const double* in, double* out, int n);
void VecAtan(const double* in, double* out, int n);
// out[i] = in[i] ^ exponent for in[i] >= 0 and exponent > 0.
void VecPow(const double* in, double exponent, double* out, int n);

} // namespace velmora
