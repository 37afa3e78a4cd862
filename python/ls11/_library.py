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
import struct
from typing import Any

from ._facts import _SOVERSION

_HERE = os.path.dirname(os.path.abspath(__file__))
# As CMake names the library on Linux, Windows (MinGW) and macOS.
_NAMES = (f"libls11.so.{_SOVERSION}", "ls11.dll", f"libls11.{_SOVERSION}.dylib")


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


def _elf_extent(head: bytes) -> int:
    """How long an ELF file must be for what its header and program headers
    promise: the loader maps those parts, and touching a mapped page past
    the end of a cut-short file kills the process (SIGBUS)."""
    wide, order = head[4] == 2, "<" if head[5] == 1 else ">"
    layout = order + ("16xHHIQQQIHHHHHH" if wide else "16xHHIIIIIHHHHHH")
    fields = struct.unpack_from(layout, head)
    phoff, shoff, phentsize, phnum, shentsize, shnum = (fields[4], fields[5], fields[8], fields[9],
                                                        fields[10], fields[11])
    extent: int = max(struct.calcsize(layout), phoff + phentsize * phnum, shoff + shentsize * shnum)
    segment = order + ("I4xQ8x8xQ" if wide else "I I4x4x I")
    for i in range(phnum):
        at = phoff + i * phentsize
        if at + struct.calcsize(segment) > len(head):
            break
        kind, offset, size = struct.unpack_from(segment, head, at)
        if kind == 1:  # a loadable segment
            extent = max(extent, offset + size)
    return extent


def _refuse_cut_short(path: str) -> None:
    try:
        with open(path, "rb") as file:
            head = file.read(65536)
            size = file.seek(0, os.SEEK_END)
    except OSError:
        return  # a name the loader resolves, or unreadable: the loader says why
    if head[:4] == b"\x7fELF" and len(head) >= 64 and _elf_extent(head) > size:
        raise ImportError(f"{path} is cut short ({size} bytes): install ls11kit again")


def _load(path: str) -> ctypes.CDLL:
    _refuse_cut_short(path)
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


class Reason(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("entry", ctypes.c_uint32), ("found", ctypes.c_uint64),
                ("expected", ctypes.c_uint64), ("system_error", ctypes.c_int)]


class Replacement(ctypes.Structure):
    _fields_ = [("index", ctypes.c_uint32), ("data", ctypes.c_void_p), ("size", ctypes.c_size_t)]


_p = ctypes.POINTER
void_pp = _p(ctypes.c_void_p)
_size = ctypes.c_size_t
version_string = _bind("ls11_version_string", ctypes.c_char_p)
version = version_string().decode("ascii")
_status_string = _bind("ls11_status_string", ctypes.c_char_p, ctypes.c_int)


def status_text(status: int) -> str:
    """The library's description of any integer: one past a C int is no
    status (-1 is none either), never the status it would wrap to."""
    in_range = -2**31 <= status < 2**31
    text: bytes = _status_string(status if in_range else -1)
    return text.decode("utf-8")


decode_block = _bind("ls11_decode_block", ctypes.c_int, ctypes.c_void_p, _size,
                     ctypes.c_void_p, ctypes.c_void_p, _size)
open_file = _bind("ls11_open", ctypes.c_int, ctypes.c_char_p, void_pp)
open_memory = _bind("ls11_open_memory", ctypes.c_int, ctypes.c_void_p, _size, void_pp)
close = _bind("ls11_close", None, ctypes.c_void_p)
file_format = _bind("ls11_format", ctypes.c_int, ctypes.c_void_p)
dictionary = _bind("ls11_dictionary", _p(ctypes.c_uint8), ctypes.c_void_p)
entry_count = _bind("ls11_entry_count", ctypes.c_uint32, ctypes.c_void_p)
get_entry = _bind("ls11_get_entry", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32, _p(Entry))
read_entry = _bind("ls11_read_entry", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32,
                   ctypes.c_void_p, _size)
pack = _bind("ls11_pack", ctypes.c_int, void_pp, _p(_size), ctypes.c_uint32,
             _p(PackOptions), void_pp, _p(_size))
replace = _bind("ls11_replace", ctypes.c_int, ctypes.c_void_p, _p(Replacement), ctypes.c_uint32,
                void_pp, _p(_size))
free = _bind("ls11_free", None, ctypes.c_void_p)
reason_text = _bind("ls11_reason_text", _size, _p(Reason), ctypes.c_char_p, _size)
open_file_why = _bind("ls11_open_with_reason", ctypes.c_int, ctypes.c_char_p, void_pp, _p(Reason))
open_memory_why = _bind("ls11_open_memory_with_reason", ctypes.c_int, ctypes.c_void_p, _size, void_pp,
                        _p(Reason))
write_fn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p, _size)
read_entry_to = _bind("ls11_read_entry_to", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32, write_fn,
                      ctypes.c_void_p, _p(Reason))
pack_to = _bind("ls11_pack_to", ctypes.c_int, void_pp, _p(_size), ctypes.c_uint32, _p(PackOptions),
                write_fn, ctypes.c_void_p, _p(Reason))
replace_to = _bind("ls11_replace_to", ctypes.c_int, ctypes.c_void_p, _p(Replacement), ctypes.c_uint32,
                   write_fn, ctypes.c_void_p, _p(Reason))
# What the *_to calls write to when a binding wants only their reason: a
# call that fails writes nothing, and one that would succeed stops here.
refuse = write_fn(lambda context, data, size: 1)
