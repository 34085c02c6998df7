// exp and log from + - * / alone, so that every platform gets the same bits.
// The C library's exp, log and pow may differ in the last bit between glibc
// and Windows' runtime, and a picture's bytes must not.
#ifndef LUMIRUN_COLOUR_PORTABLE_MATH_H
#define LUMIRUN_COLOUR_PORTABLE_MATH_H

// e^x, within 3 units in the last place; 0 below -745, infinity above 709.78,
// NaN for NaN.
double portable_exp(double x);

// ln x for x > 0, within 2 units in the last place; -infinity at 0, NaN
// below 0 or for NaN, infinity at infinity. ln 1 is exactly 0.
double portable_log(double x);

// 2^x (exact for whole x) and log2 x.
double portable_exp2(double x);
double portable_log2(double x);

#endif
