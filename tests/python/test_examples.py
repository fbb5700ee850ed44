"""examples/python run as a user runs them: the triple point against the independent
reference (reference/aluminosilicate-triple-point.md: 505.58 C, 3736.7 bar) with its PNG, and
the table of a reaction's Gibbs energy change against the C++ library (pelkam-props)."""
import csv
import os
import pathlib
import re
import subprocess
import sys

import pelkam
from conftest import DATABASE, SOURCE, props

EXAMPLES = SOURCE / "examples" / "python"


def run(script, *args, cwd):
    # The module the tests import, wherever the examples run.
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(pathlib.Path(pelkam.__file__).parent),
                                                        os.environ.get("PYTHONPATH", "")]), MPLBACKEND="Agg")
    return subprocess.run([sys.executable, str(EXAMPLES / script), *args], check=True, capture_output=True, text=True,
                          cwd=cwd, env=env).stdout


def test_triple_point_and_its_drawing(tmp_path):
    out = run("triple_point.py", DATABASE, "-o", "tp.png", cwd=tmp_path)
    T, P = map(float, re.search(r"triple point: ([\d.]+) C, ([\d.]+) bar", out).groups())
    assert abs(T - 505.58) <= 0.01 and abs(P - 3736.7) <= 0.1, out
    png = (tmp_path / "tp.png").read_bytes()
    assert png.startswith(b"\x89PNG") and len(png) > 10000


def test_reaction_grid_table(tmp_path):
    reaction = "Ms + Qz = Kfs + Sil + H2O"
    run("reaction_grid.py", "--db", DATABASE, "--reaction", reaction, "--T", "500:700:100", "--P", "1000:5000:2000",
        "-o", "grid.csv", cwd=tmp_path)
    with open(tmp_path / "grid.csv", newline="") as f:
        table = list(csv.DictReader(f))
    expected = props("--db", DATABASE, "--T", "500,600,700", "--P", "1000,3000,5000", reaction)
    assert [(float(r["T_C"]), float(r["P_bar"])) for r in table] == [(float(r["T_C"]), float(r["P_bar"])) for r in expected]
    assert [r["dG_J_per_mol"] for r in table] == [r["G_J_per_mol"] for r in expected]
