#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus (tests/fuzz/corpus): worlds that reproduce faults found
before, and a few seeded random inputs. Run again after changing the input format."""
import os
import random

EXTREMES = {1e-30: 0, 4e6: 1, 1e7: 2, 1e15: 3, 2e15: 4, 1e20: 5, 1e38: 6, float("inf"): 7}
MASSES = {0: 0, 1: 1, 0.5: 2, 2: 3, 1e-30: 4, 1e38: 5, float("inf"): 6, "nan": 7}


def value(v):
    """The byte that the target reads as v: 0.5 steps below 50, an extreme of either sign, NaN."""
    if v == "nan":
        return 0x80
    if abs(v) in EXTREMES:
        code = 100 + EXTREMES[abs(v)]
        return (-code if v < 0 else code) & 0xFF
    assert abs(2 * v) < 100 and 2 * v == int(2 * v), v
    return int(2 * v) & 0xFF


def body(x=(0, 0), y=(0, 0), angle=0, velocity=(0, 0, 0), mass=1, inertia=1, vertices=4,
         scale=0, shape=0, shared=False, layers=0):
    return bytes([vertices - 3, scale, shape, value(x[0]), value(x[1]), value(y[0]), value(y[1]),
                  value(angle), *(value(v) for v in velocity),
                  MASSES[mass] | MASSES[inertia] << 3 | shared << 6, layers])


def world(bodies, operations=((5, 0, 0),)):
    return bytes([len(bodies) - 2]) + b"".join(bodies) + b"".join(bytes(o) for o in operations)


def cluster(far, axis):
    """Three squares far out, two overlapping: far from the origin a body reaches many bands."""
    def at(offset, along):
        return {"y": ((offset, 0), (far, along)), "x": ((far, along), (offset, 0))}[axis]
    return world([body(*at(0, 0)), body(*at(0.5, 0.5)), body(*at(1, 49.5))])


inputs = {}
for far in (4e6, 1e7, 1e15, 1e20, -4e6):
    inputs[f"cluster-y-{far:g}"] = cluster(far, "y")
inputs["cluster-x-4e+06"] = cluster(4e6, "x")
inputs["cluster-2e+15-fast"] = world([body(y=(2e15, 0)), body(x=(0.5, 0), y=(2e15, 0.5)),
                                      body(x=(1, 0), y=(2e15, 40), velocity=(0, -1e38, 0))])
# Two squares 1e15 apart on y, the second above or below: the band layout they make stays small.
for far in (1e15, -1e15):
    inputs[f"apart-y-{far:g}"] = world([body(), body(y=(far, 0))])
# A pair whose circle distance is NaN: tested, so both rotation caches come to the angle.
inputs["nan-y-both"] = world([body(y=("nan", 0), angle=0.5), body(x=(0.5, 0), y=("nan", 0), angle=0.5)])
inputs["nan-y-second"] = world([body(angle=0.5), body(x=(0.5, 0), y=("nan", 0), angle=0.5)])
inputs["shared-polygon"] = world([body(), body(shared=True, velocity=(1, 1, 0)), body(x=(1, 0))])
inputs["immovable-squeeze"] = world([body(x=(-1, 0), mass=0), body(x=(0, 0)), body(x=(1, 0), mass=0)])
# Layers: a sensor over two squares, a pair filtered by the first body's mask, one by the second's.
inputs["sensor"] = world([body(layers=32), body(x=(0.5, 0)), body(x=(-0.5, 0))])
inputs["masks"] = world([body(layers=1 | 4 << 2), body(x=(0.5, 0), layers=1), body(x=(1, 0), layers=1 << 2)])
random.seed(27)
for k in range(8):
    inputs[f"random-{k}"] = bytes(random.randrange(256) for _ in range(40 + 12 * k))

folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(folder, exist_ok=True)
for name, data in inputs.items():
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
