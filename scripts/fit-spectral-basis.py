#!/usr/bin/python3
"""Fits the three reflectance curves of the Doppler colour model and writes
them as colour/spectral_basis_table.cpp.

A pixel's linear sRGB values r, g, b are taken to reflect a black body E_T
through three curves rho_r, rho_g, rho_b. The curves are fitted so that
each one, lit by E_T, seen by the model's CIE 1931 observer and adapted
(von Kries on CAT16's cone responses) from E_T's white to the sRGB white,
has exactly the colour of its
sRGB primary; they are non-negative, sum to 1 at every wavelength (white
reflects everything) and as smooth as those conditions allow (least squared
second differences). One set of curves for each of a list of temperatures;
the model interpolates between the two nearest.

Sources of data, and nothing else:
  - the colour-matching functions: the CIE 1931 2-degree standard observer
    as tabulated every 5 nm (CIE 018:2019, ISO/CIE 11664-1), read from
    colour/cie_1931_table.cpp and interpolated linearly, as the model does;
  - Planck's law with the second radiation constant of CODATA 2018;
  - the sRGB primaries and white point, IEC 61966-2-1: x, y of red
    (0.64, 0.33), green (0.30, 0.60), blue (0.15, 0.06), white D65
    (0.3127, 0.3290);
  - CAT16's matrix from XYZ to its cone responses, as published with CAM16
    (Li, Li, Wang, Zu, Luo, Cui, Melgosa, Brill, Pointer: Comprehensive
    color solutions: CAM16, CAT16, and CAM16-UCS, Color Research and
    Application 42 (2017)), the space in which colour-appearance models
    adapt.
The integrals are the model's: Simpson's rule over 360 to 830 nm at
1.25 nm, the curves interpolated linearly between nodes every 5 nm from 380
to 780 nm and held beyond them.

Needs Debian's python3-numpy and python3-scipy (bash scripts/install-deps.sh
tools). Run from the repository's root:
    /usr/bin/python3 scripts/fit-spectral-basis.py > colour/spectral_basis_table.cpp
"""
import os
import re
import sys

import numpy as np
from scipy.optimize import lsq_linear

SECOND_RADIATION_CONSTANT = 1.438776877e7  # nm K
NODE_FIRST, NODE_LAST, NODE_STEP = 380.0, 780.0, 5.0
BAND_FIRST, BAND_LAST, BAND_STEP = 360.0, 830.0, 1.25
TEMPERATURES = [1000, 1250, 1500, 1750, 2000, 2500, 3000, 3500, 4000, 5000, 6500,
                8000, 10000, 13000, 16000, 20000, 25000, 32000, 40000]

# CAT16's cone responses. Adapting on these, the hottest light seen from a
# very warm white stays blue: on Hunt-Pointer-Estevez cones, whose S is Z
# alone, the S gain of a 2000 K white turned it violet.
CONES = np.array([[0.401288, 0.650173, -0.051461],
                  [-0.250268, 1.204414, 0.045854],
                  [-0.002079, 0.048952, 0.953127]])
TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "colour", "cie_1931_table.cpp")


def read_table():
    """The CIE table's rows {x, y, z}, 360 to 830 nm every 5 nm."""
    text = open(TABLE).read()
    rows = re.findall(r"\{([-+0-9.eE]+), ([-+0-9.eE]+), ([-+0-9.eE]+)\},  // (\d+) nm", text)
    assert [int(r[3]) for r in rows] == list(range(360, 831, 5)), "unexpected table layout"
    return np.array([[float(v) for v in r[:3]] for r in rows]).T


CMF = read_table()


def observer(l):
    nodes = 360.0 + 5.0 * np.arange(CMF.shape[1])
    return np.stack([np.interp(l, nodes, CMF[i], left=0.0, right=0.0) for i in range(3)])


def black_body(l, temperature):
    return 1.0 / (l ** 5 * np.expm1(SECOND_RADIATION_CONSTANT / (l * temperature)))


def xyz_of(x, y):
    return np.array([x / y, 1.0, (1.0 - x - y) / y])


def srgb_to_xyz():
    primaries = np.array([xyz_of(0.64, 0.33), xyz_of(0.30, 0.60), xyz_of(0.15, 0.06)]).T
    scale = np.linalg.solve(primaries, xyz_of(0.3127, 0.3290))
    return primaries * scale


def adaptation(source_white, target_white):
    """Von Kries: each cone response scaled from one white to the other."""
    s = CONES @ source_white
    t = CONES @ target_white
    return np.linalg.inv(CONES) @ np.diag(t / s) @ CONES


def band():
    intervals = int(round((BAND_LAST - BAND_FIRST) / BAND_STEP))
    l = BAND_FIRST + BAND_STEP * np.arange(intervals + 1)
    factor = np.where(np.arange(intervals + 1) % 2 == 1, 4.0, 2.0)
    factor[0] = factor[-1] = 1.0
    return l, factor * BAND_STEP / 3.0


def interpolation(l, nodes):
    """Rows: the weights of the nodes in the curve's value at each l."""
    held = np.clip(l, NODE_FIRST, NODE_LAST)
    at = (held - NODE_FIRST) / NODE_STEP
    i = np.minimum(at.astype(int), nodes - 2)
    f = at - i
    w = np.zeros((l.size, nodes))
    w[np.arange(l.size), i] = 1.0 - f
    w[np.arange(l.size), i + 1] += f
    return w


def fit(temperature):
    nodes = int(round((NODE_LAST - NODE_FIRST) / NODE_STEP)) + 1
    l, weight = band()
    seen = observer(l) * black_body(l, temperature) * weight  # 3 x samples
    colour = seen @ interpolation(l, nodes)                    # 3 x nodes: XYZ per node
    white = seen.sum(axis=1)
    # The XYZ each curve must give: the primary, adapted back to E_T's white.
    target = (np.linalg.inv(adaptation(white / white[1], xyz_of(0.3127, 0.3290))) @ srgb_to_xyz()) * white[1]

    # Unknowns: rho_r, rho_g, rho_b at the nodes, each in [0, 1].
    n = 3 * nodes
    rows, values = [], []
    exact = 1e4  # the conditions, far above the smoothness
    for c in range(3):
        for k in range(3):
            row = np.zeros(n)
            row[c * nodes:(c + 1) * nodes] = colour[k] / white[1]
            rows.append(exact * row)
            values.append(exact * target[k, c] / white[1])
    for j in range(nodes):
        row = np.zeros(n)
        row[[j, nodes + j, 2 * nodes + j]] = 1.0
        rows.append(exact * row)
        values.append(exact)
    # Where the eye sees almost nothing the conditions say almost nothing:
    # there red reflects the far red and blue the far violet, which is what
    # shifted light brings into view.
    for j in range(nodes):
        wavelength = NODE_FIRST + NODE_STEP * j
        colour_there = 0 if wavelength >= 700.0 else 2 if wavelength <= 410.0 else -1
        if colour_there >= 0:
            row = np.zeros(n)
            row[colour_there * nodes + j] = 1.0
            rows.append(row)
            values.append(1.0)
    smooth = 3.0
    for c in range(3):
        for j in range(1, nodes - 1):
            row = np.zeros(n)
            row[c * nodes + j - 1:c * nodes + j + 2] = [smooth, -2.0 * smooth, smooth]
            rows.append(row)
            values.append(0.0)
    result = lsq_linear(np.array(rows), np.array(values), bounds=(0.0, 1.0), method="bvls", tol=1e-14)
    rho = result.x.reshape(3, nodes)
    rho = np.clip(rho, 0.0, None)
    rho /= rho.sum(axis=0)
    got = colour @ rho.T
    error = np.abs(got - target).max() / white[1]
    return rho, error


def main():
    out = sys.stdout
    out.write("// Written by scripts/fit-spectral-basis.py: edit the script, not this file.\n")
    out.write("// The red and green reflectance curves at 380, 385, ... 780 nm for each\n")
    out.write("// temperature; blue is 1 - red - green.\n")
    out.write('#include "colour/spectral_basis_table.h"\n\n')
    out.write("const double spectral_basis_temperatures[spectral_basis_count] = {\n    ")
    out.write(", ".join("%d.0" % t for t in TEMPERATURES))
    out.write("};\n\n")
    out.write("const float spectral_basis_curves[spectral_basis_count][2][spectral_basis_nodes] = {\n")
    for t in TEMPERATURES:
        rho, error = fit(t)
        sys.stderr.write("%6d K: largest error of a primary's XYZ %.2e of white's Y; "
                         "smallest blue %.3g\n" % (t, error, (1.0 - rho[0] - rho[1]).min()))
        out.write("    {  // %d K\n" % t)
        for c in range(2):
            values = ["%.7ff" % v for v in rho[c]]
            out.write("        {")
            for k in range(0, len(values), 8):
                out.write(("" if k == 0 else "\n         ") + ", ".join(values[k:k + 8]) + ",")
            out.write("},\n")
        out.write("    },\n")
    out.write("};\n")


if __name__ == "__main__":
    main()
