"""Finds libls11, loads it, and declares the functions the module calls.

The library is looked for, in order: at the path in the environment variable
LS11_LIBRARY; beside the module (where the wheel puts it); at the path,
relative to the module, that `cmake --install` recorded in _library_path;
then wherever the system's loader finds it. Whatever stands in the way of
using it raises ImportError with one sentence that says why.
"""
from __future__ import annotations

import ctypes
import ctypes.util
import os
from typing import Any

_HERE = os.path.dirname(os.path.abspath(__file__))
_NAMES = ("libls11.so.1", "ls11.dll", "libls11.1.dylib")


def _find() -> str:
    explicit = os.environ.get("LS11_LIBRARY")
    if explicit:
        return explicit
    for name in _NAMES:
        if os.path.isfile(os.path.join(_HERE, name)):
            return os.path.join(_HERE, name)
    recorded = os.path.join(_HERE, "_library_path")
    if os.path.isfile(recorded):
        with open(recorded, encoding="utf-8") as file:
            return os.path.normpath(os.path.join(_HERE, file.read().strip()))
    found = ctypes.util.find_library("ls11")
    if found:
        return found
    raise ImportError("libls11 is neither beside the ls11 module nor known to the system's loader: "
                      "install ls11kit again, or set LS11_LIBRARY to the library's path")


def _load(path: str) -> ctypes.CDLL:
    try:
        return ctypes.CDLL(path)
    except OSError as error:
        raise ImportError(f"{path} cannot be loaded as a shared library ({error})") from None


path = _find()
lib = _load(path)


def _bind(name: str, restype: Any, *argtypes: Any) -> Any:
    try:
        function = getattr(lib, name)
    except AttributeError:
        raise ImportError(f"{path} has no function {name}: it is not libls11, "
                          "or older than this module needs") from None
    function.restype = restype
    function.argtypes = argtypes
    return function


class Entry(ctypes.Structure):
    _fields_ = [("packed_size", ctypes.c_uint32), ("unpacked_size", ctypes.c_uint32),
                ("data_offset", ctypes.c_uint32)]


class PackOptions(ctypes.Structure):
    _fields_ = [("sizeof_options", ctypes.c_size_t), ("format", ctypes.c_int),
                ("level", ctypes.c_int), ("threads", ctypes.c_int)]


class Replacement(ctypes.Structure):
    _fields_ = [("index", ctypes.c_uint32), ("data", ctypes.c_void_p), ("size", ctypes.c_size_t)]


_p = ctypes.POINTER
_void_pp = _p(ctypes.c_void_p)
_size = ctypes.c_size_t
version_string = _bind("ls11_version_string", ctypes.c_char_p)
version = version_string().decode("ascii")
status_string = _bind("ls11_status_string", ctypes.c_char_p, ctypes.c_int)
decode_block = _bind("ls11_decode_block", ctypes.c_int, ctypes.c_void_p, _size,
                     ctypes.c_void_p, ctypes.c_void_p, _size)
open_file = _bind("ls11_open", ctypes.c_int, ctypes.c_char_p, _void_pp)
open_memory = _bind("ls11_open_memory", ctypes.c_int, ctypes.c_void_p, _size, _void_pp)
close = _bind("ls11_close", None, ctypes.c_void_p)
file_format = _bind("ls11_format", ctypes.c_int, ctypes.c_void_p)
dictionary = _bind("ls11_dictionary", _p(ctypes.c_uint8), ctypes.c_void_p)
entry_count = _bind("ls11_entry_count", ctypes.c_uint32, ctypes.c_void_p)
get_entry = _bind("ls11_get_entry", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32, _p(Entry))
read_entry = _bind("ls11_read_entry", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32,
                   ctypes.c_void_p, _size)
pack = _bind("ls11_pack", ctypes.c_int, _void_pp, _p(_size), ctypes.c_uint32,
             _p(PackOptions), _void_pp, _p(_size))
replace = _bind("ls11_replace", ctypes.c_int, ctypes.c_void_p, _p(Replacement), ctypes.c_uint32,
                _void_pp, _p(_size))
free = _bind("ls11_free", None, ctypes.c_void_p)
