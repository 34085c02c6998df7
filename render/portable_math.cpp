#include "render/portable_math.h"

#include <cmath>
#include <limits>

namespace {

// ln 2 split so that k * ln2_high is exact for |k| < 2^11 (fdlibm's split).
constexpr double ln2_high = 6.93147180369123816490e-01;
constexpr double ln2_low = 1.90821492927058770002e-10;
constexpr double inverse_ln2 = 1.44269504088896338700e+00;
constexpr double sqrt_half = 0.70710678118654752440;

}  // namespace

double portable_exp(double x)
{
    if (x != x)
        return x;
    if (x > 709.78)
        return std::numeric_limits<double>::infinity();
    if (x < -745.2)
        return 0.0;
    // x = k ln 2 + r, |r| <= ln 2 / 2; e^r by its series, to r^20 / 20!
    // (the next term is below 1e-28).
    const double k = std::floor((x * inverse_ln2) + 0.5);
    const double r = (x - (k * ln2_high)) - (k * ln2_low);
    double sum = 1.0;
    for (int n = 20; n >= 1; --n)
        sum = 1.0 + ((r * sum) / static_cast<double>(n));
    // Two steps, so that 2^k neither overflows nor underflows on its own.
    const int e = static_cast<int>(k);
    return std::ldexp(std::ldexp(sum, e / 2), e - (e / 2));
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
    // (m + 1), |s| < 0.172: the series to s^25 leaves less than 1e-19.
    int e = 0;
    double m = std::frexp(x, &e);  // [0.5, 1), exact
    if (m < sqrt_half) {
        m *= 2.0;
        --e;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double sum = 0.0;
    for (int n = 25; n >= 1; n -= 2)
        sum = (1.0 / static_cast<double>(n)) + (s2 * sum);
    const double k = static_cast<double>(e);
    return ((k * ln2_high) + (2.0 * s * sum)) + (k * ln2_low);
}

double portable_exp2(double x)
{
    return portable_exp(x * 6.93147180559945309417e-01);
}

double portable_log2(double x)
{
    return portable_log(x) * inverse_ln2;
}
