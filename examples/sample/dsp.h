/* Fixed-point signal processing helpers of the sample program. */
#ifndef SAMPLE_DSP_H
#define SAMPLE_DSP_H

#include <stdint.h>

/* Clamps to the range of a signed 16-bit sample. */
int32_t saturate16(int32_t value);

/* One output of an 8-tap low-pass FIR filter over samples[0..count), ending at samples[at]. */
int32_t fir_sample(const int32_t* samples, unsigned count, unsigned at);

/* Integer square root, rounded down. */
uint32_t isqrt(uint32_t value);

/* Fibonacci number, computed the slow recursive way on purpose. */
uint32_t fib(unsigned n);

#endif
