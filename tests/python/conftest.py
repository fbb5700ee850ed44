# Shared by the tests of the Python module: where the bundled data, the
# fixtures and pelkam-props are (ctest passes them in the environment; run by
# hand from the repository: PYTHONPATH=build/python python3 -m pytest tests/python).
import csv
import io
import os
import pathlib
import subprocess

import pytest

import pelkam

SOURCE = pathlib.Path(os.environ.get("PELKAM_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
FIXTURES = SOURCE / "tests" / "fixtures"
DATABASE = str(SOURCE / "data" / "thermo1988.dat")
PROPS = os.environ.get("PELKAM_PROPS", str(SOURCE / "build" / "apps" / "pelkam-props"))


def reference_rows(name):
    """The rows of a reference table of tests/fixtures/model (comment lines skipped)."""
    with open(FIXTURES / "model" / name, newline="") as f:
        return list(csv.DictReader(line for line in f if not line.startswith("#")))


def props(*args):
    """The rows pelkam-props (the C++ library's program) prints with --csv."""
    out = subprocess.run([PROPS, "--csv", *args], check=True, capture_output=True, text=True).stdout
    return list(csv.DictReader(io.StringIO(out)))


@pytest.fixture(scope="session")
def db():
    """The system K-Al-Si-O-H of the bundled database."""
    return pelkam.load_database(DATABASE, "K AL SI O H")
