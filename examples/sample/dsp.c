#include "dsp.h"

static const int32_t fir_taps[8] = {-124, 312, 1408, 2500, 2500, 1408, 312, -124};

int32_t saturate16(int32_t value) {
    if (value > INT16_MAX)
        return INT16_MAX;
    if (value < INT16_MIN)
        return INT16_MIN;
    return value;
}

int32_t fir_sample(const int32_t* samples, unsigned count, unsigned at) {
    int64_t sum = 0;
    for (unsigned tap = 0; tap < 8; ++tap) {
        unsigned index = (at + count - tap) % count;
        sum += (int64_t)fir_taps[tap] * samples[index];
    }
    return (int32_t)(sum >> 13);
}

static uint32_t newton_step(uint32_t value, uint32_t guess) {
    return (guess + value / guess) / 2;
}

uint32_t isqrt(uint32_t value) {
    if (value < 2)
        return value;
    uint32_t guess = value / 2;
    uint32_t next = newton_step(value, guess);
    while (next < guess) {
        guess = next;
        next = newton_step(value, guess);
    }
    return guess;
}

uint32_t fib(unsigned n) {
    return n < 2 ? n : fib(n - 1) + fib(n - 2);
}
