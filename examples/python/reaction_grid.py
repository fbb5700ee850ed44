"""A reaction's Gibbs energy change over a T-P grid, as a table (CSV) with one row per point.

The database is loaded for the smallest chemical system that holds the reaction's phases; the
whole grid is one call of the module.  The table has the columns T_C, P_bar and dG_J_per_mol
(J per mole of reaction as written, products minus reactants; negative where the products are
stable) and reads straight into pandas (pandas.read_csv) or a spreadsheet.

    PYTHONPATH=build/python python3 examples/python/reaction_grid.py \\
        --reaction "Ms + Qz = Kfs + Sil + H2O" --T 400:800:50 --P 1000:8000:1000 -o grid.csv
"""
import argparse
import csv

import numpy as np

import pelkam


def steps(text):
    """'400:800:50' -> 400, 450, ..., 800 (the end included)."""
    start, stop, step = (float(v) for v in text.split(":"))
    return np.arange(start, stop + step / 2, step)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--db", default="data/thermo1988.dat", help="the database file")
    parser.add_argument("--reaction", default="Ms + Qz = Kfs + Sil + H2O")
    parser.add_argument("--T", default="400:800:50", help="temperatures, C: start:stop:step")
    parser.add_argument("--P", default="1000:8000:1000", help="pressures, bar: start:stop:step")
    parser.add_argument("--xco2", type=float, default=None, help="mole fraction of CO2 in the H2O-CO2 fluid")
    parser.add_argument("-o", "--output", default="reaction-grid.csv")
    args = parser.parse_args()

    index = pelkam.index_database(args.db)
    phases = [term.phase for term in pelkam.parse_reaction(args.reaction).terms]
    db = pelkam.load_database(args.db, pelkam.system_elements(index, phases))
    reaction = pelkam.balance_reaction(db, args.reaction)

    T, P = np.meshgrid(steps(args.T), steps(args.P), indexing="ij")  # T outer, P inner
    dG = pelkam.reaction_gibbs(db, reaction, T, P, xCO2=args.xco2)

    with open(args.output, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["T_C", "P_bar", "dG_J_per_mol"])
        for t, p, g in zip(T.ravel(), P.ravel(), dG.ravel()):
            out.writerow([f"{t:g}", f"{p:g}", f"{g:.4f}"])
    print(f"{reaction.text}: {dG.size} points written to {args.output}")
    # Where the sign changes along each isobar: the equilibrium temperature, interpolated.
    for j, p in enumerate(P[0]):
        g = dG[:, j]
        k = np.nonzero(np.diff(np.sign(g)))[0]
        if k.size:
            i = k[0]
            t = T[i, j] + (T[i + 1, j] - T[i, j]) * g[i] / (g[i] - g[i + 1])
            print(f"  {p:7g} bar: dG = 0 near {t:.1f} C")


if __name__ == "__main__":
    main()
