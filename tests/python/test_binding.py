"""The module against the C++ library: phases, reactions and fluids at a few points as
pelkam-props (built on the same public headers) prints them, the arrays against a loop of
scalar calls, and the errors of bad input."""
import math
import warnings

import numpy as np
import pytest

import pelkam
from conftest import DATABASE, FIXTURES, props

T_LIST, P_LIST = "350,600.5,820", "1,2500,9000"


@pytest.mark.parametrize("item", ["Qz", "Ky", "Ms", "Kfs", "H2O", "3 Ky = 3 Sil", "Ms + Qz = Kfs + Sil + H2O"])
def test_energies_are_the_librarys(db, item):
    rows = props("--db", DATABASE, "--T", T_LIST, "--P", P_LIST, item)
    T = np.array([float(r["T_C"]) for r in rows])
    P = np.array([float(r["P_bar"]) for r in rows])
    f = pelkam.reaction_gibbs if "=" in item else pelkam.gibbs
    # pelkam-props prints four decimals.
    np.testing.assert_allclose(f(db, item, T, P), [float(r["G_J_per_mol"]) for r in rows], rtol=0, atol=6e-5)


# species, routines, xCO2 (None: the pure fluid)
FLUIDS = [
    ("H2O", {}, None),
    ("CO2", {}, None),
    ("H2O", {"water": 2, "co2": 2}, 0.3),
    ("CO2", {"water": 2, "co2": 2}, 0.3),
    ("CO2", {"co2": 3, "mixing": 3}, 0.6),
    ("H2O", {"water": 3, "mixing": 2}, 0.6),
    ("O2", {}, None),
    ("H2", {}, None),
    ("S2", {}, None),
]


@pytest.mark.filterwarnings("ignore::pelkam.NoticeWarning")  # the polynomials at 1 bar
@pytest.mark.parametrize("species,routines,x", FLUIDS)
def test_fluids_are_the_librarys(species, routines, x):
    r = pelkam.FluidRoutines(**routines)
    args = ["--fluid", species, "--T", T_LIST, "--P", P_LIST, "--water-routine", str(r.water),
            "--co2-routine", str(r.co2), "--mixing", str(r.mixing)]
    if x is not None:
        args += ["--xco2", str(x)]
    rows = props(*args)
    T = np.array([float(row["T_C"]) for row in rows])
    P = np.array([float(row["P_bar"]) for row in rows])
    got = pelkam.fluid(species, T, P, xCO2=x, routines=r)
    for key, column in [("phi", "phi"), ("activity", "activity"), ("volume_cm3", "volume_cm3"), ("G", "G_J_per_mol")]:
        expected = np.array([float(row[column]) if row[column] else math.nan for row in rows])
        # pelkam-props prints ten significant digits; an empty field is a value the routine does not give.
        np.testing.assert_allclose(got[key], expected, rtol=1e-9, atol=1e-4 if key == "G" else 0, err_msg=key)


def test_arrays_broadcast_as_numpy_does_and_agree_with_scalar_calls(db):
    T = np.array([300.0, 450.0, 575.5, 800.0])[:, None]
    P = np.array([1.0, 2000.0, 7000.0])
    x = np.array([0.0, 0.2, 0.7])
    evaluator = pelkam.Evaluator(db)
    cases = [
        (pelkam.gibbs, "Ms", None),
        (pelkam.gibbs, db.find("H2O"), x),
        (pelkam.reaction_gibbs, "Ms + Qz = Kfs + Sil + H2O", None),
        (pelkam.reaction_gibbs, pelkam.balance_reaction(db, "Ky = And"), 0.4),
    ]
    for f, item, xco2 in cases:
        got = f(db, item, T, P, xCO2=xco2)
        assert got.shape == (4, 3)
        for i, j in np.ndindex(got.shape):
            xij = None if xco2 is None else float(np.broadcast_to(xco2, (3,))[j])
            scalar = f(db, item, float(T[i, 0]), float(P[j]), xCO2=xij)
            assert isinstance(scalar, float)
            assert got[i, j] == scalar, (item, i, j)
        method = evaluator.gibbs if f is pelkam.gibbs else evaluator.reaction_gibbs
        np.testing.assert_array_equal(method(item, T, P, xCO2=xco2), got)
    # Lists, 0-d arrays, empty arrays and the fluid's dict keep the shape rules.
    assert pelkam.gibbs(db, "Qz", [500, 600], 2000).shape == (2,)
    assert isinstance(pelkam.gibbs(db, "Qz", np.array(500.0), 2000), float)
    assert pelkam.gibbs(db, "Qz", np.zeros(0), 2000).shape == (0,)
    state = pelkam.fluid("CO2", T, P, xCO2=0.5)
    assert all(v.shape == (4, 3) for v in state.values())
    assert state["activity"][0, 0] == pelkam.fluid("CO2", 300.0, 1.0, xCO2=0.5)["activity"]
    with pytest.raises(ValueError):
        pelkam.gibbs(db, "Qz", [500, 600, 700], [1, 2])


def test_phases_and_reactions_as_the_database_has_them(db):
    ms = db["Ms"]
    assert (ms.name, ms.abbreviation, ms.kind) == ("MUSCOVITE", "Ms", pelkam.PhaseKind.MINERAL)
    # The header line of muscovite in data/thermo1988.dat: K(1)AL(3)SI(3)O(12)H(2).
    assert db.formula("Ms") == "SI(3)AL(3)K(1)O(12)H(2)"
    table = db.table()
    assert len(table["name"]) == len(db) and table["abbreviation"][db.find("Ky")] == "Ky"
    assert db.find("kyanite") == db.find("Ky") and db.find("no such phase") is None
    index = pelkam.index_database(DATABASE)
    assert pelkam.system_elements(index, ["Ky", "Qz"]) == ["O", "SI", "AL"]
    r = pelkam.balance_reaction(db, "2 kyanite + Qz = sillimanite + Qz + SIL")
    assert [(t.coefficient, t.phase.name) for t in r.terms] == [(-2, "KYANITE"), (2, "SILLIMANITE")]
    answers = pelkam.phase_answers(db, ["Ky"])
    assert [a.option_code for a in answers].count(pelkam.OptionCode.INCLUDE) == 1
    answers[0].option_code = 4  # a number is taken as its code
    assert answers[0].option_code == pelkam.OptionCode.TEST_ONLY
    text = pelkam.parse_reaction("1.5 Kfs + H+ = 0.5 Ms + 3 Qz + K+")
    assert [(t.coefficient, t.phase) for t in text.terms] == [(-1.5, "Kfs"), (-1, "H+"), (0.5, "Ms"), (3, "Qz"), (1, "K+")]


def test_range_notices_become_warnings(db):
    # The Holland and Powell polynomial runs off below 100 bar.
    with pytest.warns(pelkam.NoticeWarning):
        pelkam.fluid("H2O", 500, [10, 50], routines=pelkam.FluidRoutines(water=3))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        pelkam.fluid("H2O", 500, [1000, 5000], routines=pelkam.FluidRoutines(water=3))


def bad_plot_file(tmp_path):
    golden = (FIXTURES.parent / "golden" / "expected" / "aluminosilicates" / "plot.plt").read_text().splitlines()
    golden[2] = "      200.00000      9x0.00000        1.00000    10000.00000"  # the window record
    path = tmp_path / "bad.plt"
    path.write_text("\n".join(golden) + "\n")
    return str(path)


# call(db, tmp_path), exception class, the start of str(e), attributes expected
ERRORS = [
    (lambda db, tmp: pelkam.load_database("no-such-database.dat", "SI O"), pelkam.FileError,
     "cannot open the database", {"why": "no such file", "file": "no-such-database.dat", "kind": "file"}),
    (lambda db, tmp: pelkam.load_database(str(FIXTURES / "database" / "err_data_field.dat"), "SI O AL K H"),
     pelkam.DataError, "error in a data line", {"line": 10, "field": 3, "kind": "data"}),
    (lambda db, tmp: pelkam.load_database(DATABASE, "SI O XX"), pelkam.DataError, "", {"kind": "data"}),
    (lambda db, tmp: pelkam.reaction_gibbs(db, "Ky = Sil + Qz", 600, 2000), pelkam.RequestError,
     'reaction "Ky = Sil + Qz" is not balanced (products minus reactants): O excess +2; SI excess +1', {}),
    (lambda db, tmp: pelkam.parse_reaction("3/2 Ky = 1.5 Sil"), pelkam.RequestError,
     'reaction "3/2 Ky = 1.5 Sil": the coefficient in "3/2 Ky" is a fraction', {}),
    (lambda db, tmp: pelkam.gibbs(db, "Xyz", 600, 2000), pelkam.RequestError, "unknown phase 'Xyz'", {"value": "Xyz"}),
    (lambda db, tmp: pelkam.gibbs(db, 99, 600, 2000), IndexError, "phase index 99 out of range", {}),
    (lambda db, tmp: pelkam.fluid("N2", 600, 2000), pelkam.RequestError, "unknown fluid species 'N2'", {}),
    (lambda db, tmp: pelkam.reaction_gibbs(pelkam.load_database(DATABASE, "CA MG SI O C H"),
                                           "3 Dol + 4 Qz + H2O = Tlc + 3 Cc + 3 CO2", 600, 2000),
     pelkam.RequestError, 'reaction "3 Dol + 4 Qz + H2O = Tlc + 3 Cc + 3 CO2" has both H2O and CO2: give xCO2', {}),
    (lambda db, tmp: pelkam.read_plot_file(bad_plot_file(tmp)), pelkam.DataError, "", {"line": 3}),
    (lambda db, tmp: pelkam.read_plot_file(str(tmp / "missing.plt")), pelkam.FileError, "", {}),
    (lambda db, tmp: pelkam.trace_reaction(db, "Ky = Sil", pelkam.CurveWindow(x_min=900, x_max=200, y_min=1, y_max=10)),
     pelkam.RequestError, "", {}),
    (lambda db, tmp: pelkam.CurveWindow(x_mn=1), AttributeError, "", {}),
]


@pytest.mark.parametrize("call,cls,start,attributes", ERRORS)
def test_bad_input_raises_with_what_why_and_where(db, tmp_path, call, cls, start, attributes):
    with pytest.raises(cls) as caught:
        call(db, tmp_path)
    e = caught.value
    assert str(e).startswith(start), str(e)
    for name, value in attributes.items():
        assert getattr(e, name) == value, name
    if isinstance(e, pelkam.Error):
        assert str(e) and e.what
