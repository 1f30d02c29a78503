"""The parallel port from Python, through Pinlark's driver.

    import pinlark

    with pinlark.Port("LPT1") as port:
        port.set("D0", 1)                      # the level at pin 2
        print(port.get("ERR"), hex(port.status))
        port.wait("ACK=falling", timeout=5)    # or port.wait(ACK="falling")
        print(port.pulse("STR", width_us=500, low=True))

A Port holds its port from opening to closing, as one program at a time holds
a real port. Lines are named as on the connector (D0-D7, STR, LF/CR or LF,
INIT, SELIN, ERR, SEL, PE, ACK, BUSY; any case) or by pin ("10"), and their
values are levels at the pin unless register=True asks for the register bit.
Failures raise PinlarkError subclasses that carry the Windows error code
behind them and a line of advice.
"""

from __future__ import annotations

import ctypes
import threading
from dataclasses import dataclass
from typing import Callable, Dict, List, Optional, Tuple, Type, Union

from . import _library

_lib = _library.load()

__version__: str = _lib.pinlark_version().decode()

__all__ = [
    "Port",
    "Line",
    "PortInfo",
    "WaitResult",
    "PulseResult",
    "Spread",
    "lines",
    "find_line",
    "ports",
    "PinlarkError",
    "InvalidArgumentError",
    "UnknownLineError",
    "InputLineError",
    "PortAbsentError",
    "PortHeldError",
    "DriverError",
    "TransferError",
    "WaitTimeoutError",
    "NotIdleError",
]

_DATA, _STATUS, _CONTROL = 0, 1, 2
_REGISTER_BIT = 1
_REGISTER_NAMES = ("data", "status", "control")


class PinlarkError(Exception):
    """A failed call. code is the library's error code, winerror the Windows
    error code behind it (0 when none), advice what to do ("" when nothing)."""

    code: int = 0

    def __init__(self, message: str, winerror: int = 0, advice: str = "") -> None:
        super().__init__(f"{message}: {advice}" if advice else message)
        self.message = message
        self.winerror = winerror
        self.advice = advice


class InvalidArgumentError(PinlarkError, ValueError):
    code = 1


class UnknownLineError(PinlarkError, ValueError):
    code = 2


class InputLineError(PinlarkError, ValueError):
    code = 3


class PortAbsentError(PinlarkError):
    code = 4


class PortHeldError(PinlarkError):
    code = 5


class DriverError(PinlarkError):
    code = 6


class TransferError(PinlarkError):
    code = 7


class WaitTimeoutError(PinlarkError, TimeoutError):
    """The wait ended before its conditions were met; result says how far it got."""

    code = 8
    result: Optional["WaitResult"] = None


class _CancelledError(PinlarkError):
    code = 9


class NotIdleError(PinlarkError):
    code = 10


_ERRORS: Dict[int, Type[PinlarkError]] = {
    error.code: error
    for error in (
        InvalidArgumentError,
        UnknownLineError,
        InputLineError,
        PortAbsentError,
        PortHeldError,
        DriverError,
        TransferError,
        WaitTimeoutError,
        _CancelledError,
        NotIdleError,
    )
}


def _error(code: int) -> PinlarkError:
    """The failure this thread's last call left, as an exception."""
    message = (_lib.pinlark_last_message() or b"").decode() or _lib.pinlark_error_message(code).decode()
    winerror = int(_lib.pinlark_last_system_error())
    advice = _lib.pinlark_error_advice(winerror).decode() if winerror else ""
    error = _ERRORS.get(code, PinlarkError)(message, winerror, advice)
    error.code = code
    return error


def _check(code: int) -> None:
    if code:
        raise _error(code)


@dataclass(frozen=True)
class Line:
    name: str
    pin: int
    direction: str  # "out" or "in"
    inverted: bool  # the pin is the complement of the register bit
    register: str  # "data", "status" or "control"
    bit: int


@dataclass(frozen=True)
class PortInfo:
    name: str
    present: bool
    simulated: bool
    held: bool  # another program (or another Port) holds it now
    loopback: bool  # simulated, with D0-D4 wired to ERR, SEL, PE, ACK, BUSY
    base: int  # I/O base; 0 when not known
    system_number: int  # n of Windows' own LPTn; 0 when none
    holder: int  # the holding process when the system can tell; else 0


@dataclass(frozen=True)
class WaitResult:
    seconds: float  # from the start to the sample that met the wait
    levels: Dict[str, int]  # each line the conditions name: its level at the pin then
    met: Tuple[str, ...]  # the conditions that were met


@dataclass(frozen=True)
class Spread:
    min: float
    median: float
    max: float


@dataclass(frozen=True)
class PulseResult:
    pulses: int
    width_us: Spread  # measured
    period_us: Optional[Spread]  # start to start; None for a single pulse


def _line(info: _library.LineInfo) -> Line:
    return Line(
        info.name.decode(), info.pin, "out" if info.output else "in", bool(info.inverted), _REGISTER_NAMES[info.reg],
        info.bit,
    )


def _read_lines() -> Tuple[Line, ...]:
    found = []
    for index in range(_lib.pinlark_line_count()):
        info = _library.LineInfo()
        _check(_lib.pinlark_line(index, ctypes.byref(info)))
        found.append(_line(info))
    return tuple(found)


_LINES = _read_lines()


def lines() -> Tuple[Line, ...]:
    """Every line of the connector: data, control, then status."""
    return _LINES


def find_line(name: str) -> Line:
    """A line by name (any case) or pin, as Port.get takes it."""
    info = _library.LineInfo()
    _check(_lib.pinlark_find_line(name.encode(), ctypes.byref(info)))
    return _line(info)


def ports() -> List[PortInfo]:
    """LPT1-LPT3 as the driver sees them, holding none of them."""
    infos = (_library.PortInfo * 3)()
    _check(_lib.pinlark_ports(infos))
    return [
        PortInfo(
            info.name.decode(),
            bool(info.present),
            bool(info.simulated),
            bool(info.held),
            bool(info.loopback),
            info.base,
            info.system_number,
            info.holder,
        )
        for info in infos
    ]


Level = Union[int, bool]


class Port:
    """One port, held from opening until close() or the end of a with block."""

    def __init__(self, name: str = "LPT1") -> None:
        self._handle: Optional[int] = None
        self.name = f"LPT{name}" if name.isdigit() else name.upper()
        handle = _lib.pinlark_open(name.encode())
        if not handle:
            raise _error(_lib.pinlark_last_error())
        self._handle = handle

    def close(self) -> None:
        # At interpreter exit the library may be gone before the last Port.
        if self._handle and _lib is not None:
            _lib.pinlark_close(self._handle)
        self._handle = None

    def __enter__(self) -> "Port":
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"Port({self.name!r}{'' if self._handle else ', closed'})"

    @property
    def lines(self) -> Tuple[Line, ...]:
        return _LINES

    def _open_handle(self) -> int:
        if not self._handle:
            raise InvalidArgumentError(f"{self.name} is closed")
        return self._handle

    def _read(self, register: int) -> int:
        value = ctypes.c_ubyte()
        _check(_lib.pinlark_read(self._open_handle(), register, ctypes.byref(value)))
        return value.value

    def _write(self, register: int, value: int) -> None:
        if not 0 <= value <= 0xFF:
            raise InvalidArgumentError(f"{value} is no byte")
        _check(_lib.pinlark_write(self._open_handle(), register, value))

    @property
    def data(self) -> int:
        return self._read(_DATA)

    @data.setter
    def data(self, value: int) -> None:
        self._write(_DATA, value)

    @property
    def status(self) -> int:
        return self._read(_STATUS)

    @property
    def control(self) -> int:
        return self._read(_CONTROL)

    @control.setter
    def control(self, value: int) -> None:
        """The four line bits; bits 4-7 stay as the port has them."""
        self._write(_CONTROL, value)

    def get(self, line: str, register: bool = False) -> int:
        """The line's level at the pin (or register bit) as 0 or 1."""
        value = ctypes.c_int()
        flags = _REGISTER_BIT if register else 0
        _check(_lib.pinlark_get(self._open_handle(), line.encode(), flags, ctypes.byref(value)))
        return value.value

    def set(self, line: str, value: Level, register: bool = False) -> None:
        """Drives an output line to value (the level at the pin, or the
        register bit); no other line changes."""
        if value not in (0, 1):
            raise InvalidArgumentError(f"{value!r} is no line value; use 0 or 1")
        flags = _REGISTER_BIT if register else 0
        _check(_lib.pinlark_set(self._open_handle(), line.encode(), flags, int(value)))

    def wait(
        self,
        *conditions: str,
        any: bool = False,
        timeout: Optional[float] = None,
        interval_ms: float = 1.0,
        **levels: Union[Level, str],
    ) -> WaitResult:
        """Waits until every condition is met (any=True: one): "ACK=falling",
        or as keywords, ACK="falling", BUSY=0. Values are 0, 1, low, high,
        rising, falling or change. A level that holds already returns at once;
        an edge must come after the start. timeout in seconds (None: no limit)
        raises WaitTimeoutError; Ctrl+C ends the wait."""
        words = [word for text in conditions for word in text.replace(",", " ").split()]
        words += [f"{line}={value}" for line, value in levels.items()]
        handle = self._open_handle()
        raw = _library.WaitResult()

        def call() -> int:
            return int(
                _lib.pinlark_wait(
                    handle, " ".join(words).encode(), int(any), -1.0 if timeout is None else timeout, interval_ms,
                    ctypes.byref(raw),
                )
            )

        error = self._interruptible(call)
        if error is not None and not isinstance(error, WaitTimeoutError):
            raise error
        names = [find_line(word.split("=", 1)[0]).name for word in words]
        result = WaitResult(
            raw.seconds,
            {name: (raw.levels >> i) & 1 for i, name in enumerate(names)},
            tuple(word for i, word in enumerate(words) if (raw.met >> i) & 1),
        )
        if isinstance(error, WaitTimeoutError):
            error.result = result
            raise error
        return result

    def pulse(
        self, line: str, width_us: float = 1000, count: int = 1, period_us: Optional[float] = None, low: bool = False
    ) -> PulseResult:
        """Drives the output line to its active level at the pin (high, or
        low) for width_us, back, count times, period_us apart start to start
        (None: twice the width), changing no other line. Timing is best
        effort on a desktop system; the result gives what the line got."""
        handle = self._open_handle()
        raw = _library.PulseResult()

        def call() -> int:
            return int(
                _lib.pinlark_pulse(handle, line.encode(), width_us, count, period_us or 0.0, int(low), ctypes.byref(raw))
            )

        error = self._interruptible(call)
        if error is not None:
            raise error
        return PulseResult(
            raw.pulses,
            Spread(raw.width_min, raw.width_median, raw.width_max),
            Spread(raw.period_min, raw.period_median, raw.period_max) if raw.pulses > 1 else None,
        )

    def _interruptible(self, call: Callable[[], int]) -> Optional[PinlarkError]:
        """Runs a call that may block for long on a thread of its own, so
        that Ctrl+C reaches this one: then it cancels the call and re-raises.
        The call's error, read on the thread that made it, is returned."""
        outcome: List[Optional[PinlarkError]] = []

        def run() -> None:
            code = call()
            outcome.append(_error(code) if code else None)

        worker = threading.Thread(target=run, name=f"pinlark {self.name}", daemon=True)
        worker.start()
        try:
            while worker.is_alive():
                worker.join(0.05)
        except KeyboardInterrupt:
            while worker.is_alive():
                _lib.pinlark_cancel(self._handle)
                worker.join(0.05)
            raise
        if not outcome:
            raise PinlarkError(f"the call on {self.name} ended without an answer")
        return outcome[0]
