"""The Python module over the C library on the driver module's simulated
ports: LPT1 with a loopback plug (D0-D4 to ERR, SEL, PE, ACK, BUSY), LPT2 with
nothing attached, no LPT3. Each test has a bank of its own.

Run by CTest with PYTHONPATH at python/, PINLARK_LIBRARY at the built
library, PINLARK_BIN at the build's bin folder and PINLARK_README at the
README."""

from __future__ import annotations

import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

import pinlark

BIN = Path(os.environ["PINLARK_BIN"])
LIBRARY = Path(os.environ["PINLARK_LIBRARY"])
PACKAGE = Path(pinlark.__file__).parent


@pytest.fixture(autouse=True)
def private_bank(tmp_path: Path, monkeypatch: pytest.MonkeyPatch) -> Path:
    monkeypatch.setenv("LPTWDMIO_BACKEND", "simulated")
    monkeypatch.setenv("LPTWDMIO_SIM_DIR", str(tmp_path / "sim"))
    return tmp_path


def python(script: str, env: dict[str, str], timeout: float = 60) -> subprocess.CompletedProcess[str]:
    return subprocess.run(
        [sys.executable, "-c", script], env={**os.environ, **env}, capture_output=True, text=True, timeout=timeout
    )


def test_ports_and_lines_describe_the_simulation() -> None:
    lpt1, lpt2, lpt3 = pinlark.ports()
    assert (lpt1.name, lpt1.present, lpt1.simulated, lpt1.loopback) == ("LPT1", True, True, True)
    assert (lpt2.present, lpt2.loopback, lpt3.present) == (True, False, False)
    lines = pinlark.lines()
    assert [line.name for line in lines][:2] == ["D0", "D1"] and len(lines) == 17
    assert pinlark.find_line("lf") == pinlark.Line("LF/CR", 14, "out", True, "control", 1)
    assert pinlark.find_line("10").name == "ACK"


def test_registers_and_lines_through_the_loopback_plug() -> None:
    with pinlark.Port("lpt1") as port:
        assert (port.name, port.data, port.status, port.control) == ("LPT1", 0x00, 0x87, 0xCC)
        port.set("d0", 1)
        port.set("STR", 0)  # the pin: STR's bit is set
        assert (port.get("ERR"), port.get("str"), port.get("STR", register=True)) == (1, 0, 1)
        port.set("SELIN", 1, register=True)
        assert port.control == 0xCD | 0x08
        port.control = 0xF2  # bits 4-7 stay as the port has them
        assert port.control == 0xC2
        port.data = 0x1F
        assert port.status == 0x7F  # every input high, BUSY's bit inverted
        assert port.lines == pinlark.lines()


def test_wait_returns_for_levels_at_once_and_for_an_edge_another_thread_makes() -> None:
    with pinlark.Port("LPT1") as port:
        held = port.wait("ERR=0", BUSY="low", timeout=0)
        assert held.levels == {"ERR": 0, "BUSY": 0} and held.met == ("ERR=0", "BUSY=low")
        # Through the same handle: D0 drives ERR while the wait runs.
        setter = threading.Timer(0.02, port.set, ("D0", 1))
        setter.start()
        rose = port.wait("err=rising", timeout=20)
        setter.join()
        assert rose.levels == {"ERR": 1} and rose.seconds > 0
        with pytest.raises(pinlark.WaitTimeoutError) as timeout:
            port.wait("ERR=falling, SEL=1", timeout=0.05, interval_ms=5)
        assert timeout.value.result is not None and timeout.value.result.levels == {"ERR": 1, "SEL": 0}
        assert "ERR=falling SEL=1" in str(timeout.value)


# The library's bound: 32 conditions, each with its bit in the result.
def test_wait_takes_thirty_two_conditions_and_no_more() -> None:
    with pinlark.Port("LPT2") as port:
        result = port.wait(*(["ERR=1"] * 31 + ["BUSY=1"]), timeout=0)
        assert len(result.met) == 32
        with pytest.raises(pinlark.WaitTimeoutError) as unmet:
            port.wait(*(["ERR=1"] * 31 + ["BUSY=0"]), timeout=0)
        assert unmet.value.result is not None and len(unmet.value.result.met) == 31
        with pytest.raises(pinlark.InvalidArgumentError):
            port.wait(*(["ERR=1"] * 33), timeout=0)


def test_pulse_reports_its_timing_and_leaves_the_line_idle() -> None:
    with pinlark.Port("LPT1") as port:
        port.data = 0x80
        result = port.pulse("D1", width_us=200, count=3)
        assert result.pulses == 3 and result.period_us is not None
        assert 200 <= result.width_us.min <= result.width_us.median <= result.width_us.max
        assert port.data == 0x80
        single = port.pulse("D7", width_us=100, low=True)
        assert single.pulses == 1 and single.period_us is None
        with pytest.raises(pinlark.NotIdleError):
            port.pulse("D7")


@pytest.mark.parametrize(
    "action, error",
    [
        (lambda: pinlark.Port("LPT3"), pinlark.PortAbsentError),
        (lambda: pinlark.Port("COM1"), pinlark.InvalidArgumentError),
        (lambda: pinlark.Port("LPT1").get("D9"), pinlark.UnknownLineError),
        (lambda: pinlark.Port("LPT1").set("ACK", 1), pinlark.InputLineError),
        (lambda: pinlark.Port("LPT1").set("D0", 2), pinlark.InvalidArgumentError),
        (lambda: pinlark.Port("LPT1").wait("ACK=up"), pinlark.InvalidArgumentError),
        (lambda: pinlark.Port("LPT1").pulse("D0", width_us=0), pinlark.InvalidArgumentError),
        (lambda: pinlark.Port("LPT1").wait("ACK=rising", timeout=0), pinlark.WaitTimeoutError),
    ],
)
def test_errors_raise_their_own_exception(action, error) -> None:
    with pytest.raises(error) as raised:
        action()
    assert raised.value.code == error.code and str(raised.value)


def test_a_held_port_cannot_be_opened_again() -> None:
    with pinlark.Port("LPT2"):
        assert pinlark.ports()[1].held
        with pytest.raises(pinlark.PortHeldError) as held:
            pinlark.Port("LPT2")
    assert held.value.winerror == 170 and "another program holds the port" in held.value.advice


def test_without_a_driver_beside_the_library_the_error_says_where_it_looked(tmp_path: Path) -> None:
    alone = tmp_path / "alone" / LIBRARY.name
    alone.parent.mkdir()
    shutil.copy(LIBRARY, alone)
    run = python(
        "import pinlark\n"
        "try:\n pinlark.Port('LPT1')\n"
        "except pinlark.DriverError as e:\n print(e.winerror); print(e.advice)\n",
        {"PINLARK_LIBRARY": str(alone)},
    )
    assert run.returncode == 0, run.stderr
    code, advice = run.stdout.splitlines()
    assert code == "2" and f"LPTWDMIO.SYS beside {alone}" in advice


# As the Debian package installs it: the package folder holds a link to the
# library, which finds the driver beside the file the link leads to.
def test_the_package_finds_the_library_installed_beside_it(tmp_path: Path) -> None:
    site = tmp_path / "site"
    shutil.copytree(PACKAGE, site / "pinlark", ignore=shutil.ignore_patterns("__pycache__"))
    (site / "pinlark" / LIBRARY.name).symlink_to(LIBRARY)
    env = {"PYTHONPATH": str(site), "PINLARK_LIBRARY": ""}
    run = python("import pinlark\nwith pinlark.Port('LPT1') as p: print(p.get('BUSY'))", env)
    assert (run.returncode, run.stdout) == (0, "0\n"), run.stderr


def test_ctrl_c_ends_a_wait_without_limit() -> None:
    child = subprocess.Popen(
        [sys.executable, "-c", "import pinlark\np = pinlark.Port('LPT2')\nprint('waiting', flush=True)\n"
         "p.wait('ACK=falling')"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
    )
    assert child.stdout is not None and child.stdout.readline() == "waiting\n"
    child.send_signal(signal.SIGINT)
    _, errors = child.communicate(timeout=20)
    assert "KeyboardInterrupt" in errors


def readme_block(language: str) -> str:
    text = Path(os.environ["PINLARK_README"]).read_text()
    section = text.split("\n## Scripting\n", 1)[1].split("\n## ", 1)[0]
    blocks = re.findall(rf"```{language}\n(.*?)```", section, re.S)
    assert blocks, f"the README's Scripting section has no {language} example"
    return blocks[0]


def test_the_readme_shell_example_runs() -> None:
    example = readme_block("sh")
    run = subprocess.run(
        ["bash", "-euo", "pipefail", "-c", example], env={**os.environ, "PATH": f"{BIN}:{os.environ['PATH']}"},
        capture_output=True, text=True, timeout=60,
    )
    assert run.returncode == 0, run.stdout + run.stderr
    for shown in re.findall(r"# prints (.+)$", example, re.M):
        assert shown in run.stdout, shown


def test_the_readme_python_example_runs() -> None:
    run = python(readme_block("python"), {})
    assert run.returncode == 0, run.stderr
    assert "WaitResult(" in run.stdout and "PulseResult(pulses=3" in run.stdout
