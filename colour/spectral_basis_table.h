// The Doppler colour model's reflectance curves, as fitted by
// scripts/fit-spectral-basis.py (which writes spectral_basis_table.cpp):
// for each of spectral_basis_count temperatures, the red and green curves at
// spectral_basis_nodes wavelengths from 380 nm in steps of 5 nm; blue is
// 1 - red - green. Lit by a black body at that temperature, seen by
// cie_1931_observer and adapted to the sRGB white, each curve has its sRGB
// primary's colour (to 2e-7 of white's luminance from 2500 K up, 4e-5 at
// 2000 K; colder, no curves within [0, 1] can, and the nearest are kept).
#ifndef LUMIRUN_COLOUR_SPECTRAL_BASIS_TABLE_H
#define LUMIRUN_COLOUR_SPECTRAL_BASIS_TABLE_H

constexpr int spectral_basis_count = 19;
constexpr int spectral_basis_nodes = 81;
constexpr double spectral_basis_first_nm = 380.0;
constexpr double spectral_basis_step_nm = 5.0;

// Ascending, kelvin.
extern const double spectral_basis_temperatures[spectral_basis_count];
extern const float spectral_basis_curves[spectral_basis_count][2][spectral_basis_nodes];

#endif
