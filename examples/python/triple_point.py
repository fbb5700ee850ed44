"""The aluminosilicate triple point of a database, and the three curves drawn with matplotlib.

Kyanite, andalusite and sillimanite meet where Ky = And and And = Sil both have a Gibbs energy
change of zero.  The point is found by Newton's method, each step one call of the module on
three (T, P) points; the curves are traced from 200 to 900 C and 1 to 10,000 bar, each with the
third polymorph competing, and drawn solid where stable, dashed where metastable.

    PYTHONPATH=build/python python3 examples/python/triple_point.py [DATABASE] [-o triple-point.png]
"""
import argparse

import matplotlib

matplotlib.use("Agg")  # a PNG file, no screen needed
import matplotlib.pyplot as plt
import numpy as np

import pelkam


def triple_point(db, T=500.0, P=4000.0):
    """T (C) and P (bar) where Ky = And and And = Sil are both at equilibrium."""
    reactions = [pelkam.balance_reaction(db, "Ky = And"), pelkam.balance_reaction(db, "And = Sil")]
    dT, dP = 0.01, 0.1
    for _ in range(50):
        Ts, Ps = np.array([T, T + dT, T]), np.array([P, P, P + dP])
        g = [pelkam.reaction_gibbs(db, r, Ts, Ps) for r in reactions]  # J, at the point and one step off
        jacobian = np.array([[(gi[1] - gi[0]) / dT, (gi[2] - gi[0]) / dP] for gi in g])  # -dS, dV
        step = np.linalg.solve(jacobian, [-gi[0] for gi in g])
        T, P = T + step[0], P + step[1]
        if abs(step[0]) < 1e-7 and abs(step[1]) < 1e-5:
            return T, P
    raise RuntimeError("no triple point found")


def joined(curve, T, P):
    """The stretches of a curve as (x, y, stable), drawn on to the triple point where the
    stability changes: the only such point of these curves, and a point of each of them."""
    lines = [[s.x, s.y, s.stable] for s in curve.stretches]
    for a, b in zip(lines, lines[1:]):
        if a[2] != b[2]:
            a[0], a[1] = np.append(a[0], T), np.append(a[1], P)
            b[0], b[1] = np.insert(b[0], 0, T), np.insert(b[1], 0, P)
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("database", nargs="?", default="data/thermo1988.dat")
    parser.add_argument("-o", "--output", default="triple-point.png", help="the PNG file to write")
    args = parser.parse_args()

    db = pelkam.load_database(args.database, "AL SI O")
    T, P = triple_point(db)
    print(f"triple point: {T:.2f} C, {P:.1f} bar")

    window = pelkam.CurveWindow(type=pelkam.DiagramType.PT, x_min=200, x_max=900, y_min=1, y_max=10000)
    fig, ax = plt.subplots(figsize=(6, 5))
    for reaction, competing, colour in [("Ky = Sil", "And", "C0"), ("And = Sil", "Ky", "C1"), ("Ky = And", "Sil", "C2")]:
        curve = pelkam.trace_reaction(db, reaction, window, [competing])
        for x, y, stable in joined(curve, T, P):
            ax.plot(x, y / 1000, color=colour, linestyle="-" if stable else "--", label=reaction if stable else None)
        print(f"{reaction}: " + ", ".join(f"{'stable' if s.stable else 'metastable'} {len(s)} points"
                                          for s in curve.stretches))
    ax.plot([T], [P / 1000], "ko")
    ax.annotate(f"{T:.1f} C, {P / 1000:.2f} kbar", (T, P / 1000), textcoords="offset points", xytext=(8, -14))
    ax.set(xlim=(200, 900), ylim=(0, 10), xlabel="Temperature (C)", ylabel="Pressure (kbar)",
           title=f"Al2SiO5 polymorphs ({db.file})")
    ax.legend(loc="upper left")
    fig.savefig(args.output, dpi=100)
    print(f"wrote {args.output}")


if __name__ == "__main__":
    main()
