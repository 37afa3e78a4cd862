"""Reading and writing LS11 container files with libls11.

The module calls the shared library (libls11.so.0, ls11.dll) through ctypes,
so it needs no compiler and the same file works on every system. The library
is looked for, in order: at the path in the environment variable
LS11_LIBRARY; at the path recorded when the module was installed; beside the
module; then wherever the system's loader finds it.

    with ls11.open("game.LS11") as archive:
        first = archive.read(0)
    data = ls11.pack([first, b"more"], format=11, level="best")

Every failure of the library raises ls11.Error, whose .status is the
library's status number (ls11.ERR_FORMAT and so on).
"""
import ctypes
import ctypes.util
import os
import pathlib
from typing import NamedTuple

__all__ = ["Archive", "Entry", "Error", "decode_block", "open", "pack", "replace",
           "OK", "ERR_OPEN", "ERR_WRITE", "ERR_FORMAT", "ERR_CORRUPT", "ERR_NO_MEMORY",
           "ERR_ARGUMENT", "ERR_TOO_LARGE", "library_path"]

OK, ERR_OPEN, ERR_WRITE, ERR_FORMAT, ERR_CORRUPT, ERR_NO_MEMORY, ERR_ARGUMENT, ERR_TOO_LARGE = range(8)
_LEVELS = {"store": 0, "fast": 1, "best": 2}
_UINT32_MAX = 0xFFFFFFFF
_HERE = os.path.dirname(os.path.abspath(__file__))
_NAMES = ("ls11.dll", "libls11.so.0", "libls11.so", "libls11.0.dylib", "libls11.dylib")


def _find_library():
    explicit = os.environ.get("LS11_LIBRARY")
    if explicit:
        return explicit
    recorded = os.path.join(_HERE, "_library_path")
    if os.path.isfile(recorded):
        path = pathlib.Path(recorded).read_text(encoding="utf-8").strip()
        if os.path.isfile(path):
            return path
    for folder in (_HERE, os.path.dirname(_HERE)):
        for name in _NAMES:
            if os.path.isfile(os.path.join(folder, name)):
                return os.path.join(folder, name)
    found = ctypes.util.find_library("ls11")
    if found:
        return found
    raise ImportError("libls11 not found: set LS11_LIBRARY to the path of libls11.so.0 or ls11.dll")


library_path = _find_library()
_lib = ctypes.CDLL(library_path)


class _Entry(ctypes.Structure):
    _fields_ = [("packed_size", ctypes.c_uint32), ("unpacked_size", ctypes.c_uint32),
                ("data_offset", ctypes.c_uint32)]


class _PackOptions(ctypes.Structure):
    _fields_ = [("sizeof_options", ctypes.c_size_t), ("format", ctypes.c_int), ("level", ctypes.c_int),
                ("threads", ctypes.c_int)]


class _Replacement(ctypes.Structure):
    _fields_ = [("index", ctypes.c_uint32), ("data", ctypes.c_void_p), ("size", ctypes.c_size_t)]


def _bind(name, restype, *argtypes):
    function = getattr(_lib, name)
    function.restype = restype
    function.argtypes = argtypes
    return function


_p = ctypes.POINTER
_void_pp = _p(ctypes.c_void_p)
_status_string = _bind("ls11_status_string", ctypes.c_char_p, ctypes.c_int)
_decode_block = _bind("ls11_decode_block", ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t,
                      ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t)
_open = _bind("ls11_open", ctypes.c_int, ctypes.c_char_p, _void_pp)
_open_memory = _bind("ls11_open_memory", ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t, _void_pp)
_close = _bind("ls11_close", None, ctypes.c_void_p)
_format = _bind("ls11_format", ctypes.c_int, ctypes.c_void_p)
_dictionary = _bind("ls11_dictionary", _p(ctypes.c_uint8), ctypes.c_void_p)
_entry_count = _bind("ls11_entry_count", ctypes.c_uint32, ctypes.c_void_p)
_get_entry = _bind("ls11_get_entry", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32, _p(_Entry))
_read_entry = _bind("ls11_read_entry", ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32,
                    ctypes.c_void_p, ctypes.c_size_t)
_pack = _bind("ls11_pack", ctypes.c_int, _void_pp, _p(ctypes.c_size_t), ctypes.c_uint32,
              _p(_PackOptions), _void_pp, _p(ctypes.c_size_t))
_free = _bind("ls11_free", None, ctypes.c_void_p)
# ls11_replace came after the first release of the library: a library
# without it still serves everything else.
_replace = (_bind("ls11_replace", ctypes.c_int, ctypes.c_void_p, _p(_Replacement), ctypes.c_uint32,
                  _void_pp, _p(ctypes.c_size_t))
            if hasattr(_lib, "ls11_replace") else None)

version = _bind("ls11_version_string", ctypes.c_char_p)().decode("ascii")


class Error(Exception):
    """A failure reported by libls11; .status is its status number."""

    def __init__(self, status, what=None):
        self.status = status
        description = _status_string(status).decode("utf-8")
        super().__init__(f"{what}: {description}" if what else description)


def _check(status, what=None):
    if status != OK:
        raise Error(status, what)


class Entry(NamedTuple):
    """One entry of the table. A block is stored exactly when its sizes are equal."""
    index: int
    packed_size: int
    unpacked_size: int
    data_offset: int

    @property
    def stored(self):
        return self.packed_size == self.unpacked_size


def _as_bytes(data):
    return data if isinstance(data, bytes) else bytes(data)


class Archive:
    """An open LS11 file. Use it from one thread at a time; close it (or use
    it as a context manager) to release the file."""

    def __init__(self, source):
        handle = ctypes.c_void_p()
        if isinstance(source, (bytes, bytearray, memoryview)):
            # The library borrows the bytes: they are kept here until close.
            self._data = _as_bytes(source)
            _check(_open_memory(self._data, len(self._data), ctypes.byref(handle)))
        else:
            self._data = None
            path = os.fspath(source)
            if isinstance(path, bytes):
                path = os.fsdecode(path)
            _check(_open(path.encode("utf-8", "surrogateescape"), ctypes.byref(handle)), path)
        self._handle = handle
        self.format = _format(handle)
        self.dictionary = ctypes.string_at(_dictionary(handle), 256)
        self.entries = []
        for index in range(_entry_count(handle)):
            e = _Entry()
            _check(_get_entry(handle, index, ctypes.byref(e)))
            self.entries.append(Entry(index, e.packed_size, e.unpacked_size, e.data_offset))

    def _live_handle(self):
        if not self._handle:
            raise ValueError("the archive is closed")
        return self._handle

    def read(self, index):
        """The decoded bytes of entry `index`."""
        handle = self._live_handle()
        if not 0 <= index < len(self.entries):
            raise Error(ERR_ARGUMENT, f"entry {index}")
        size = self.entries[index].unpacked_size
        out = ctypes.create_string_buffer(size)
        _check(_read_entry(handle, index, out, size), f"entry {index}")
        return out.raw

    def read_all(self):
        """Every entry in table order: the bytes unls11 writes."""
        return b"".join(self.read(entry.index) for entry in self.entries)

    def close(self):
        if getattr(self, "_handle", None):
            _close(self._handle)
            self._handle = None
        self._data = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __del__(self):
        self.close()


def open(source):
    """Opens an LS11 file: a path (str or path-like) or the whole file as bytes."""
    return Archive(source)


def _take_output(status, out, out_size):
    _check(status)
    try:
        return ctypes.string_at(out, out_size.value)
    finally:
        _free(out)


def pack(entries, format=11, level="best", threads=0):
    """A new LS11 file, as bytes, in which entry i holds entries[i].
    level: "store", "fast" or "best" (or 0, 1, 2); threads: 0 for one per core."""
    if isinstance(level, str):
        if level not in _LEVELS:
            raise Error(ERR_ARGUMENT, f"level {level!r}")
        level = _LEVELS[level]
    blocks = [_as_bytes(e) for e in entries]
    if len(blocks) > _UINT32_MAX:
        raise Error(ERR_TOO_LARGE)
    pointers = (ctypes.c_void_p * len(blocks))(*(ctypes.cast(ctypes.c_char_p(b), ctypes.c_void_p) for b in blocks))
    sizes = (ctypes.c_size_t * len(blocks))(*(len(b) for b in blocks))
    options = _PackOptions(ctypes.sizeof(_PackOptions), format, level, threads)
    out, out_size = ctypes.c_void_p(), ctypes.c_size_t()
    status = _pack(pointers, sizes, len(blocks), ctypes.byref(options), ctypes.byref(out), ctypes.byref(out_size))
    return _take_output(status, out, out_size)


def replace(source, replacements):
    """A copy of an LS11 file in which each entry named in `replacements`
    ({index: bytes}) holds the new bytes; every other entry is kept as it
    is. `source` is an open Archive, a path, or the file as bytes."""
    if _replace is None:
        raise NotImplementedError(f"{library_path} has no ls11_replace")
    if not isinstance(source, Archive):
        with Archive(source) as archive:
            return replace(archive, replacements)
    items = [(index, _as_bytes(data)) for index, data in replacements.items()]
    for index, _ in items:
        if not 0 <= index <= _UINT32_MAX:
            raise Error(ERR_ARGUMENT, f"entry {index}")
    array = (_Replacement * len(items))(
        *(_Replacement(index, ctypes.cast(ctypes.c_char_p(data), ctypes.c_void_p), len(data))
          for index, data in items))
    out, out_size = ctypes.c_void_p(), ctypes.c_size_t()
    status = _replace(source._live_handle(), array, len(items), ctypes.byref(out), ctypes.byref(out_size))
    return _take_output(status, out, out_size)


def decode_block(packed, dictionary, unpacked_size):
    """Decodes one compressed block with a file's 256-byte dictionary."""
    dictionary = _as_bytes(dictionary)
    if len(dictionary) != 256 or unpacked_size < 0:
        raise Error(ERR_ARGUMENT)
    packed = _as_bytes(packed)
    out = ctypes.create_string_buffer(unpacked_size)
    _check(_decode_block(packed, len(packed), dictionary, out, unpacked_size))
    return out.raw
