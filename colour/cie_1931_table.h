// The CIE 1931 2-degree standard colorimetric observer as tabulated
// (colour/cie_1931_table.cpp names the source).
#ifndef LUMIRUN_COLOUR_CIE_1931_TABLE_H
#define LUMIRUN_COLOUR_CIE_1931_TABLE_H

constexpr int cie_1931_count = 95;
constexpr double cie_1931_first_nm = 360.0;
constexpr double cie_1931_step_nm = 5.0;

// x, y and z at cie_1931_first_nm + k * cie_1931_step_nm.
extern const double cie_1931_table[cie_1931_count][3];

#endif
