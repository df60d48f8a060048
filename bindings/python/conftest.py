"""Starts the development launcher of a build for the tests, in private directories.

The build's program directory comes from HALYX_BIN_DIR (default: build/linux/bin of this
repository); the library from VELHALYXAPI_R2_LIBRARY (default: the one in that directory).
"""

import os
import pathlib
import subprocess
import time

import pytest

BIN = pathlib.Path(os.environ.get(
    "HALYX_BIN_DIR", pathlib.Path(__file__).resolve().parents[2] / "build" / "linux" / "bin"))
os.environ.setdefault("VELHALYXAPI_R2_LIBRARY", str(BIN / "libvelhalyxapi_r2.so"))

USER_NAME = "Jürgen"
PASSWORD = "pässwort"
CD_KEY = "KEY-0042"
PRODUCT = 7


@pytest.fixture
def launcher(tmp_path, monkeypatch):
    """A running development launcher serving PRODUCT's server pipe; this process finds it."""
    run = tmp_path / "run"
    run.mkdir(mode=0o700)
    monkeypatch.setenv("XDG_RUNTIME_DIR", str(run))
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    config = tmp_path / "launcher.conf"
    config.write_text("username = %s\npassword = %s\ncdkey = %s\nproducts = %d\n"
                      % (USER_NAME, PASSWORD, CD_KEY, PRODUCT), encoding="utf-8")
    log = tmp_path / "launcher.log"
    with open(log, "wb") as output:
        process = subprocess.Popen(
            [str(BIN / "halyx_devlauncher"), "--data-dir", str(tmp_path / "data"), "--config",
             str(config), "-v"], stdout=output, stderr=subprocess.STDOUT)
    try:
        deadline = time.monotonic() + 20
        while b"serving " not in log.read_bytes():
            assert process.poll() is None and time.monotonic() < deadline, log.read_text()
            time.sleep(0.01)
        yield process
    finally:
        process.terminate()
        process.wait(20)
