#include "colour/portable_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// ln 2 split so that k * ln2_high is exact for |k| < 2^11 (fdlibm's split).
constexpr double ln2_high = 6.93147180369123816490e-01;
constexpr double ln2_low = 1.90821492927058770002e-10;
constexpr double inverse_ln2 = 1.44269504088896338700e+00;
constexpr double sqrt_half = 0.70710678118654752440;

// 1 / n, rounded once by the compiler: the same constants on every platform,
// and multiplications instead of divisions in the loops below.
constexpr double reciprocal[] = {0.0,        1.0,        1.0 / 2,  1.0 / 3,  1.0 / 4,  1.0 / 5,
                                 1.0 / 6,    1.0 / 7,    1.0 / 8,  1.0 / 9,  1.0 / 10, 1.0 / 11,
                                 1.0 / 12,   1.0 / 13,   1.0 / 14, 1.0 / 15, 1.0 / 16, 1.0 / 17,
                                 1.0 / 18,   1.0 / 19,   1.0 / 20, 1.0 / 21, 1.0 / 22, 1.0 / 23};

// 2^e for a whole e in [-1022, 1023], from its bits: exact, and no call.
double power_of_2(int e)
{
    const std::uint64_t bits = static_cast<std::uint64_t>(e + 1023) << 52;
    double power;
    std::memcpy(&power, &bits, sizeof power);
    return power;
}

// e^r by its series to r^terms / terms!.
double series_exp(double r, int terms)
{
    double sum = 1.0;
    for (int n = terms; n >= 1; --n)
        sum = 1.0 + ((r * sum) * reciprocal[n]);
    return sum;
}

// 2^(j / 32) for j = 0 ... 31, built once: the series to r^23 / 23! for
// r < ln 2 leaves less than 1e-25.
struct fraction_powers {
    double value[32];
    fraction_powers()
    {
        for (int j = 0; j < 32; ++j)
            value[j] = series_exp((static_cast<double>(j) / 32.0) * 6.93147180559945309417e-01, 23);
    }
};

// e^r 2^(n / 32), |r| <= ln 2 / 64; 2^(n / 32) in up to three exact
// factors, so that no part overflows or underflows on its own.
double scaled_exp(double r, double n)
{
    static const fraction_powers fractions;
    const int whole = static_cast<int>(n);
    const int j = ((whole % 32) + 32) % 32;
    const int e = (whole - j) / 32;
    // For |r| <= ln 2 / 64 the series to r^6 / 6! leaves less than 1e-18.
    const double sum = fractions.value[j] * series_exp(r, 6);
    if (e >= -1000 && e <= 1000)
        return sum * power_of_2(e);
    return std::ldexp(std::ldexp(sum, e / 2), e - (e / 2));
}

}  // namespace

double portable_exp(double x)
{
    if (x != x)
        return x;
    if (x > 709.78)
        return std::numeric_limits<double>::infinity();
    if (x < -745.2)
        return 0.0;
    // x = n ln 2 / 32 + r.
    const double n = std::floor((x * (32.0 * inverse_ln2)) + 0.5);
    return scaled_exp((x - (n * (ln2_high / 32.0))) - (n * (ln2_low / 32.0)), n);
}

double portable_log(double x)
{
    if (x != x || x < 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0)
        return -std::numeric_limits<double>::infinity();
    if (x == std::numeric_limits<double>::infinity())
        return x;
    // x = m 2^e, m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(s), s = (m - 1) /
    // (m + 1), |s| < 0.172: the series to s^23 leaves less than 1e-19.
    int e = 0;
    double m = 0.0;  // [0.5, 1), exact
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0) {
        m = std::frexp(x, &e);  // subnormal
    } else {
        e = biased - 1022;
        bits = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1022} << 52);
        std::memcpy(&m, &bits, sizeof m);
    }
    if (m < sqrt_half) {
        m *= 2.0;
        --e;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double sum = 0.0;
    for (int n = 23; n >= 1; n -= 2)
        sum = reciprocal[n] + (s2 * sum);
    const double k = static_cast<double>(e);
    return ((k * ln2_high) + (2.0 * s * sum)) + (k * ln2_low);
}

double portable_exp2(double x)
{
    if (x != x)
        return x;
    if (x > 1024.0)
        return std::numeric_limits<double>::infinity();
    if (x < -1075.0)
        return 0.0;
    // Whole powers of 2 come out exact.
    const double n = std::floor((x * 32.0) + 0.5);
    return scaled_exp((x - (n / 32.0)) * 6.93147180559945309417e-01, n);
}

double portable_log2(double x)
{
    return portable_log(x) * inverse_ln2;
}
