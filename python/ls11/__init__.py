"""Reading and writing LS11 container files, the data files of many older
games, with libls11.

    import ls11
    with ls11.open("game.LS11") as archive:
        for entry in archive:
            print(entry.index, entry.unpacked_size, archive.read(entry.index)[:16])
    data = ls11.pack([b"first entry", b"second entry"], format=11, level="best")

Data arguments take any bytes-like object (bytes, bytearray, memoryview,
array, mmap, a numpy array) in place, without a copy. A wrong type raises
TypeError, a wrong value ValueError, an entry index out of range IndexError;
what the library reports about files and data raises ls11.Error, whose
.status is the library's status number (ls11.ERR_FORMAT and so on).

The module calls the shared library libls11 through ctypes: the one installed
with it, or the one named by the environment variable LS11_LIBRARY.
"""
from __future__ import annotations

import contextlib
import ctypes
import operator
import os
from typing import TYPE_CHECKING, Container, Iterable, Iterator, Mapping, NamedTuple, SupportsIndex

from . import _library
from ._buffers import Borrowed, copy_to_bytes

if TYPE_CHECKING:
    from _typeshed import ReadableBuffer, StrOrBytesPath, WriteableBuffer

__all__ = ["Archive", "Entry", "Error", "decode_block", "open", "pack", "replace",
           "OK", "ERR_OPEN", "ERR_WRITE", "ERR_FORMAT", "ERR_CORRUPT", "ERR_NO_MEMORY",
           "ERR_ARGUMENT", "ERR_TOO_LARGE", "library_path", "__version__"]

OK, ERR_OPEN, ERR_WRITE, ERR_FORMAT, ERR_CORRUPT, ERR_NO_MEMORY, ERR_ARGUMENT, ERR_TOO_LARGE = range(8)

#: The version of libls11, and so of this package: "MAJOR.MINOR.PATCH".
__version__: str = _library.version
#: The path (or, found by the system's loader, the name) of the libls11 in use.
library_path: str = _library.path

_LEVELS = {"store": 0, "fast": 1, "best": 2}
_FORMATS = (10, 11, 12)
_UINT32_MAX = 0xFFFFFFFF
_INT_MAX = 2**31 - 1


class Error(Exception):
    """A failure libls11 reports about a file or data; .status is its status
    number (one of ls11.ERR_*)."""

    status: int

    def __init__(self, status: int, what: str | None = None) -> None:
        self.status = status
        description = _library.status_string(status).decode("utf-8")
        super().__init__(f"{what}: {description}" if what else description)


def _check(status: int, what: str | None = None) -> None:
    if status != OK:
        raise Error(status, what)


def _integer_in(value: SupportsIndex, name: str, allowed: Container[int]) -> int:
    number = operator.index(value)  # TypeError for anything but an integer
    if number not in allowed:
        raise ValueError(f"{name} {number} is out of range")
    return number


class Entry(NamedTuple):
    """One entry of an archive's table. Its block is stored as it is exactly
    when its two sizes are equal; data_offset is where the block starts in
    the file."""

    index: int  # type: ignore[assignment]  # the entry's index, over tuple.index
    packed_size: int
    unpacked_size: int
    data_offset: int

    @property
    def stored(self) -> bool:
        """True when the block is stored as it is, not compressed."""
        return self.packed_size == self.unpacked_size


class Archive:
    """An open LS11 file: its format (10, 11 or 12), its 256-byte dictionary
    and its entries. len(archive) is the number of entries, and iterating
    over it yields them. Use it from one thread at a time; close it (or use
    it in a with statement) to release the file."""

    format: int
    dictionary: bytes
    entries: list[Entry]

    def __init__(self, source: StrOrBytesPath | ReadableBuffer) -> None:
        self._handle: ctypes.c_void_p | None = None
        self._data: Borrowed | None = None
        handle = ctypes.c_void_p()
        if isinstance(source, (str, os.PathLike)):
            path = os.fsencode(source)
            if b"\0" in path:
                raise ValueError("embedded null byte")
            _check(_library.open_file(path, ctypes.byref(handle)), os.fsdecode(path))
        else:
            # The library reads the bytes in place, so they stay held until close.
            self._data = Borrowed(source, "the file's bytes")
            _check(_library.open_memory(self._data.address, self._data.size, ctypes.byref(handle)))
        self._handle = handle
        self.format = _library.file_format(handle)
        self.dictionary = ctypes.string_at(_library.dictionary(handle), 256)
        self.entries = []
        for index in range(_library.entry_count(handle)):
            e = _library.Entry()
            _check(_library.get_entry(handle, index, ctypes.byref(e)))
            self.entries.append(Entry(index, e.packed_size, e.unpacked_size, e.data_offset))

    def _live_handle(self) -> ctypes.c_void_p:
        if not self._handle:
            raise ValueError("the archive is closed")
        return self._handle

    def _entry(self, index: int) -> Entry:
        index = operator.index(index)
        if not 0 <= index < len(self.entries):
            raise IndexError(f"entry {index} is out of range: the archive has {len(self.entries)}")
        return self.entries[index]

    def __len__(self) -> int:
        return len(self.entries)

    def __iter__(self) -> Iterator[Entry]:
        return iter(self.entries)

    def __repr__(self) -> str:
        state = "closed" if not self._handle else f"{len(self.entries)} entries"
        return f"<ls11.Archive LS{self.format}, {state}>"

    def read(self, index: int) -> bytes:
        """The decoded bytes of entry index."""
        out = ctypes.create_string_buffer(self._entry(index).unpacked_size)
        self.read_into(index, out)
        return out.raw

    def read_into(self, index: int, buffer: WriteableBuffer) -> int:
        """Decodes entry index into the start of buffer (a bytearray, a
        writable memoryview, a numpy array...) in place; returns the number of
        bytes written, the entry's unpacked_size."""
        size = self._entry(index).unpacked_size
        with Borrowed(buffer, "buffer", writable=True) as out:
            if out.size < size:
                raise ValueError(f"the buffer holds {out.size} bytes and entry {index} has {size}")
            _check(_library.read_entry(self._live_handle(), index, out.address, out.size),
                   f"entry {index}")
        return size

    def read_all(self) -> bytes:
        """Every entry in table order: the bytes unls11 writes."""
        return b"".join(self.read(entry.index) for entry in self.entries)

    def close(self) -> None:
        """Closes the file; closing again does nothing."""
        if self._handle:
            _library.close(self._handle)
            self._handle = None
        if self._data is not None:
            self._data.release()
            self._data = None

    def __enter__(self) -> Archive:
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()


def open(source: StrOrBytesPath | ReadableBuffer) -> Archive:
    """Opens an LS11 file: a path (str or path-like), or the whole file as a
    bytes-like object, which must then stay unchanged until the archive is
    closed."""
    return Archive(source)


def _take_output(status: int, out: ctypes.c_void_p, out_size: ctypes.c_size_t) -> bytes:
    _check(status)
    try:
        return copy_to_bytes(out.value, out_size.value)
    finally:
        _library.free(out)


def pack(entries: Iterable[ReadableBuffer], format: int = 11, level: str | int = "best",
         threads: int = 0) -> bytes:
    """A new LS11 file, as bytes, in which entry i holds entries[i].
    format: 10, 11 or 12. level: "store", "fast" or "best" (or 0, 1, 2).
    threads: how many entries are encoded at once, 0 for one per core; the
    file is the same for any number."""
    options = _library.PackOptions(ctypes.sizeof(_library.PackOptions),
                                   _integer_in(format, "format", _FORMATS),
                                   _level(level),
                                   _integer_in(threads, "threads", range(_INT_MAX + 1)))
    with contextlib.ExitStack() as held:
        blocks = [held.enter_context(Borrowed(data, f"entry {i}")) for i, data in enumerate(entries)]
        if not blocks:
            raise ValueError("pack needs at least one entry")
        if len(blocks) > _UINT32_MAX:
            raise Error(ERR_TOO_LARGE)
        pointers = (ctypes.c_void_p * len(blocks))(*(block.address for block in blocks))
        sizes = (ctypes.c_size_t * len(blocks))(*(block.size for block in blocks))
        out, out_size = ctypes.c_void_p(), ctypes.c_size_t()
        status = _library.pack(pointers, sizes, len(blocks), ctypes.byref(options),
                               ctypes.byref(out), ctypes.byref(out_size))
    return _take_output(status, out, out_size)


def _level(level: str | int) -> int:
    if isinstance(level, str):
        if level not in _LEVELS:
            raise ValueError(f"level must be 'store', 'fast' or 'best', not {level!r}")
        return _LEVELS[level]
    return _integer_in(level, "level", _LEVELS.values())


def replace(source: Archive | StrOrBytesPath | ReadableBuffer,
            replacements: Mapping[int, ReadableBuffer]) -> bytes:
    """A copy of an LS11 file in which each entry named in replacements
    ({index: bytes}) holds the new bytes; every other entry is kept as it
    is. source is an open Archive, a path, or the file as bytes."""
    if not isinstance(source, Archive):
        with Archive(source) as archive:
            return replace(archive, replacements)
    with contextlib.ExitStack() as held:
        items = [(source._entry(index).index, held.enter_context(Borrowed(data, f"entry {index}")))
                 for index, data in replacements.items()]
        array = (_library.Replacement * len(items))(
            *(_library.Replacement(index, data.address, data.size) for index, data in items))
        out, out_size = ctypes.c_void_p(), ctypes.c_size_t()
        status = _library.replace(source._live_handle(), array, len(items),
                                  ctypes.byref(out), ctypes.byref(out_size))
    return _take_output(status, out, out_size)


def decode_block(packed: ReadableBuffer, dictionary: ReadableBuffer, unpacked_size: int) -> bytes:
    """Decodes one compressed block with a file's 256-byte dictionary into
    unpacked_size bytes."""
    unpacked_size = _integer_in(unpacked_size, "unpacked_size", range(_UINT32_MAX + 1))
    with Borrowed(dictionary, "dictionary") as table, Borrowed(packed, "packed") as block:
        if table.size != 256:
            raise ValueError(f"a dictionary has 256 bytes, not {table.size}")
        out = ctypes.create_string_buffer(unpacked_size)
        _check(_library.decode_block(block.address, block.size, table.address, out, unpacked_size))
    return out.raw
