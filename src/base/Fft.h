#pragma once
// An in-place radix-2 fast Fourier transform, for the short analyses of sound that
// pitch and envelope work needs. The size must be a power of two. The inverse divides
// by the size, so forward then inverse gives the input back.
#include <complex>
#include <cstddef>
#include <numbers>
#include <utility>
#include <vector>

namespace kantor {

inline void fft(std::vector<std::complex<double>>& a, bool inverse = false) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = (inverse ? 2.0 : -2.0) * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
    if (inverse)
        for (std::complex<double>& v : a) v /= static_cast<double>(n);
}

}  // namespace kantor
