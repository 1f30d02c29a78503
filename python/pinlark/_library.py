"""Finds and loads the C library (libpinlark.so, pinlark.dll) and declares
its functions for ctypes."""

from __future__ import annotations

import ctypes
import os
import sys
from pathlib import Path

LIBRARY_NAME = "pinlark.dll" if sys.platform == "win32" else "libpinlark.so"


class PortInfo(ctypes.Structure):
    _fields_ = [
        ("name", ctypes.c_char * 8),
        ("present", ctypes.c_int),
        ("simulated", ctypes.c_int),
        ("held", ctypes.c_int),
        ("loopback", ctypes.c_int),
        ("base", ctypes.c_uint),
        ("system_number", ctypes.c_uint),
        ("holder", ctypes.c_ulong),
    ]


class WaitResult(ctypes.Structure):
    _fields_ = [("seconds", ctypes.c_double), ("met", ctypes.c_uint), ("levels", ctypes.c_uint)]


class PulseResult(ctypes.Structure):
    _fields_ = [
        ("pulses", ctypes.c_uint),
        ("width_min", ctypes.c_double),
        ("width_median", ctypes.c_double),
        ("width_max", ctypes.c_double),
        ("period_min", ctypes.c_double),
        ("period_median", ctypes.c_double),
        ("period_max", ctypes.c_double),
    ]


class LineInfo(ctypes.Structure):
    _fields_ = [
        ("name", ctypes.c_char_p),
        ("pin", ctypes.c_int),
        ("output", ctypes.c_int),
        ("inverted", ctypes.c_int),
        ("reg", ctypes.c_int),
        ("bit", ctypes.c_int),
    ]


def library_path() -> str:
    """PINLARK_LIBRARY when set; else the library installed beside this
    package (in its folder, or the folder that holds it); else the bare name,
    which the system looks up on its library path."""
    named = os.environ.get("PINLARK_LIBRARY")
    if named:
        return named
    package = Path(os.path.abspath(__file__)).parent
    for folder in (package, package.parent):
        if (folder / LIBRARY_NAME).exists():
            return str(folder / LIBRARY_NAME)
    return LIBRARY_NAME


_Handle = ctypes.c_void_p
_Text = ctypes.c_char_p
_Int = ctypes.c_int

_SIGNATURES = {
    "pinlark_version": (_Text, []),
    "pinlark_open": (_Handle, [_Text]),
    "pinlark_close": (None, [_Handle]),
    "pinlark_ports": (_Int, [ctypes.POINTER(PortInfo)]),
    "pinlark_read": (_Int, [_Handle, _Int, ctypes.POINTER(ctypes.c_ubyte)]),
    "pinlark_write": (_Int, [_Handle, _Int, ctypes.c_ubyte]),
    "pinlark_get": (_Int, [_Handle, _Text, _Int, ctypes.POINTER(_Int)]),
    "pinlark_set": (_Int, [_Handle, _Text, _Int, _Int]),
    "pinlark_wait": (_Int, [_Handle, _Text, _Int, ctypes.c_double, ctypes.c_double, ctypes.POINTER(WaitResult)]),
    "pinlark_pulse": (
        _Int,
        [_Handle, _Text, ctypes.c_double, ctypes.c_uint, ctypes.c_double, _Int, ctypes.POINTER(PulseResult)],
    ),
    "pinlark_cancel": (_Int, [_Handle]),
    "pinlark_line_count": (_Int, []),
    "pinlark_line": (_Int, [_Int, ctypes.POINTER(LineInfo)]),
    "pinlark_find_line": (_Int, [_Text, ctypes.POINTER(LineInfo)]),
    "pinlark_last_error": (_Int, []),
    "pinlark_last_message": (_Text, []),
    "pinlark_last_system_error": (ctypes.c_ulong, []),
    "pinlark_error_message": (_Text, [_Int]),
    "pinlark_error_advice": (_Text, [ctypes.c_ulong]),
}


def load() -> ctypes.CDLL:
    path = library_path()
    try:
        library = ctypes.CDLL(path)
    except OSError as failure:
        raise ImportError(
            f"pinlark: cannot load {path} ({failure}); set PINLARK_LIBRARY to the library's file"
        ) from failure
    for name, (result, arguments) in _SIGNATURES.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library
