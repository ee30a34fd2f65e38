#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The smoothing-spline reference of the growth benchmark.

Reads curves as CSV lines "curve,minutes,od" on standard input and writes "curve,rate" lines:
the steepest slope per hour of a cubic smoothing spline fitted to ln OD, its smoothing chosen
by generalised cross-validation. Readings with an OD of zero or below are left out, since ln
cannot take them.
"""
import collections
import sys

import numpy as np
from scipy.interpolate import make_smoothing_spline

curves = collections.OrderedDict()
for line in sys.stdin:
    curve, minutes, od = line.strip().split(",")
    if float(od) > 0:
        curves.setdefault(curve, []).append((float(minutes) / 60.0, float(od)))

for curve, readings in curves.items():
    hours = np.array([r[0] for r in readings])
    ln_od = np.log(np.array([r[1] for r in readings]))
    try:
        spline = make_smoothing_spline(hours, ln_od)
        grid = np.linspace(hours[0], hours[-1], 4000)
        rate = float(np.max(spline.derivative()(grid)))
    except Exception:  # a curve the spline cannot take counts as a miss
        rate = 0.0
    print(f"{curve},{rate!r}")
