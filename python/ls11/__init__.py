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
.status is the library's status number (ls11.ERR_FORMAT and so on). A file
that cannot be opened raises ls11.Error with the operating system's OSError
as its __cause__ and .errno.

The module calls the shared library libls11 through ctypes: the one installed
with it, or the one named by the environment variable LS11_LIBRARY.
"""
from __future__ import annotations

import contextlib
import ctypes
import operator
import os
import threading
from typing import (TYPE_CHECKING, Container, Iterable, Iterator, Mapping, NamedTuple, Optional,
                    SupportsIndex, Tuple, Union)

from . import _library
from ._buffers import Borrowed, bytes_addresses, copy_to_bytes, new_bytes
from ._facts import *  # noqa: F403  the statuses and reasons: OK, ERR_OPEN, REASON_EMPTY, ...
from ._facts import _LEVELS, _REASON_NAMES, _STATUS_NAMES

if TYPE_CHECKING:
    from _typeshed import ReadableBuffer, StrPath, WriteableBuffer

    # A path is a str or a path-like object; bytes are a file's contents.
    Source = Union[StrPath, "os.PathLike[bytes]", ReadableBuffer]
    Replacements = Union[Mapping[int, ReadableBuffer], Iterable[Tuple[int, ReadableBuffer]]]

__all__ = ["Archive", "Entry", "Error", "decode_block", "open", "pack", "replace",
           "library_path", "__version__", *_STATUS_NAMES, *_REASON_NAMES]

#: The version of libls11, and so of this package: "MAJOR.MINOR", with
#: ".PATCH" when PATCH is not 0.
__version__: str = _library.version
#: The path (or, found by the system's loader, the name) of the libls11 in use.
library_path: str = _library.path

_UINT32_MAX = 0xFFFFFFFF
_INT_MAX = 2**31 - 1


class Error(Exception):
    """A failure libls11 reports about a file or data. .status is its status
    number (one of ls11.ERR_*); .reason says why in more detail (one of
    ls11.REASON_*, REASON_NONE when nothing more is known), with the entry
    concerned in .entry (or None) and the numbers the reason names in
    .found and .expected, and the message says it in words. When the
    system refused a file, .errno is its errno value and __cause__ the
    OSError. An Error can be pickled, so it crosses from a worker process
    as itself."""

    status: int
    reason: int
    entry: Optional[int]
    found: int
    expected: int
    errno: Optional[int]

    def __init__(self, status: int, what: str | None = None) -> None:
        self.status = operator.index(status)
        self.what = what
        self.reason, self.entry, self.found, self.expected, self.errno = REASON_NONE, None, 0, 0, None
        super().__init__(self._text())

    def _text(self, why: str = "") -> str:
        description = _library.status_text(self.status) + (f" ({why})" if why else "")
        return f"{self.what}: {description}" if self.what else description

    def __reduce__(self) -> tuple[type[Error], tuple[int, str | None], dict[str, object]]:
        return Error, (self.status, self.what), {**self.__dict__, "args": self.args}

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""


def _failure(status: int, what: str | None, reason: _library.Reason) -> Error:
    """Error for status, with the library's reason and, when the system
    refused, the system's own error as cause."""
    error = Error(status, what)
    text = ctypes.create_string_buffer(256)
    _library.reason_text(ctypes.byref(reason), text, len(text))
    why = text.value.decode("utf-8", "replace")
    error.reason, error.found, error.expected = reason.code, reason.found, reason.expected
    error.entry = None if reason.entry == 0xFFFFFFFF else reason.entry
    if reason.system_error:
        error.errno = reason.system_error
        error.__cause__ = OSError(reason.system_error, os.strerror(reason.system_error), what)
        why = os.strerror(reason.system_error)  # the system's words say more than the library's
    if reason.code != REASON_NONE and why != _library.status_text(status):
        error.args = (error._text(why),)
    return error


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
    over it yields them. Reads on several threads take turns; close() waits
    for a read in flight. Close it (or use it in a with statement) to
    release the file."""

    format: int
    dictionary: bytes
    entries: list[Entry]

    def __init__(self, source: Source) -> None:
        # ctypes lets other threads run during a call: the lock keeps close()
        # from freeing the archive under a read.
        self._lock = threading.Lock()
        self._handle: ctypes.c_void_p | None = None
        self._data: Borrowed | None = None
        self._table: tuple[Entry, ...] = ()
        handle = ctypes.c_void_p()
        if isinstance(source, (str, os.PathLike)):
            path = os.fsencode(source)
            if b"\0" in path:
                raise ValueError("embedded null byte")
            reason = _library.Reason()
            status = _library.open_file_why(path, ctypes.byref(handle), ctypes.byref(reason))
            if status != OK:
                raise _failure(status, os.fsdecode(path), reason)
        else:
            # The library reads the bytes in place, so they stay held until close.
            self._data = Borrowed(source, "the file's bytes")
            reason = _library.Reason()
            status = _library.open_memory_why(self._data.address, self._data.size, ctypes.byref(handle),
                                              ctypes.byref(reason))
            if status != OK and isinstance(source, bytes) and os.path.isfile(source):
                raise Error(status, "bytes are taken as the file's contents, and these name a file: "
                                    "pass the path as str or os.PathLike")
            if status != OK:
                raise _failure(status, None, reason)
        self._handle = handle
        self.format = _library.file_format(handle)
        self.dictionary = ctypes.string_at(_library.dictionary(handle), 256)
        self.entries = []
        for index in range(_library.entry_count(handle)):
            e = _library.Entry()
            _check(_library.get_entry(handle, index, ctypes.byref(e)))
            self.entries.append(Entry(index, e.packed_size, e.unpacked_size, e.data_offset))
        # What reads size their results by: the table as the library gave
        # it, which a caller changing entries cannot touch.
        self._table = tuple(self.entries)

    def _live_handle(self) -> ctypes.c_void_p:
        if not self._handle:
            raise ValueError("the archive is closed")
        return self._handle

    def _entry(self, index: int) -> Entry:
        index = operator.index(index)
        if not 0 <= index < len(self._table):
            raise IndexError(f"entry {index} is out of range: the archive has {len(self._table)}")
        return self._table[index]

    def __len__(self) -> int:
        return len(self.entries)

    def __iter__(self) -> Iterator[Entry]:
        return iter(self.entries)

    def __repr__(self) -> str:
        state = "closed" if not self._handle else f"{len(self.entries)} entries"
        return f"<ls11.Archive LS{self.format}, {state}>"

    def _decode(self, index: int, address: int | None, capacity: int) -> None:
        with self._lock:
            handle = self._live_handle()
            status = _library.read_entry(handle, index, address, capacity)
            if status != OK:
                # Why, asked again of a read that writes nothing: only a
                # read that fails pays for it.
                reason = _library.Reason()
                _library.read_entry_to(handle, index, _library.refuse, None, ctypes.byref(reason))
                raise _failure(status, f"entry {index}", reason)

    def read(self, index: int) -> bytes:
        """The decoded bytes of entry index."""
        entry = self._entry(index)
        out, address = new_bytes(entry.unpacked_size)
        self._decode(entry.index, address, entry.unpacked_size)
        return out

    def read_into(self, index: int, buffer: WriteableBuffer) -> int:
        """Decodes entry index into the start of buffer (a bytearray, a
        writable memoryview, a numpy array...) in place; returns the number of
        bytes written, the entry's unpacked_size."""
        entry = self._entry(index)
        with Borrowed(buffer, "buffer", writable=True) as out:
            if out.size < entry.unpacked_size:
                raise ValueError(f"the buffer holds {out.size} bytes and entry {index} "
                                 f"has {entry.unpacked_size}")
            self._decode(entry.index, out.address, out.size)
        return entry.unpacked_size

    def read_all(self) -> bytes:
        """Every entry in table order: the bytes unls11 writes."""
        out, address = new_bytes(sum(entry.unpacked_size for entry in self._table))
        at = address or 0
        for entry in self._table:
            self._decode(entry.index, at if entry.unpacked_size else None, entry.unpacked_size)
            at += entry.unpacked_size
        return out

    def close(self) -> None:
        """Closes the file, once no read is in flight; closing again does
        nothing."""
        with self._lock:
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
        if hasattr(self, "_lock"):
            self.close()


def open(source: Source) -> Archive:
    """Opens an LS11 file: a path (str or path-like), or the whole file as a
    bytes-like object (bytes included), which must then stay unchanged until
    the archive is closed."""
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
    # Which formats exist is the library's to say: it refuses any other
    # before it packs anything.
    options = _library.PackOptions(ctypes.sizeof(_library.PackOptions),
                                   _integer_in(format, "format", range(-_INT_MAX - 1, _INT_MAX + 1)),
                                   _level(level),
                                   _integer_in(threads, "threads", range(_INT_MAX + 1)))
    datas = list(entries)
    if not datas:
        raise ValueError("pack needs at least one entry")
    if len(datas) > _UINT32_MAX:
        raise Error(ERR_TOO_LARGE)
    with contextlib.ExitStack() as held:
        plain = [data for data in datas if type(data) is bytes]
        if len(plain) == len(datas):
            # The common case, where a million entries must cost no more
            # than the library's own work on them.
            pointers: ctypes.Array[ctypes.c_size_t] | ctypes.Array[ctypes.c_void_p] = (
                bytes_addresses(plain))
            sizes = (ctypes.c_size_t * len(plain))(*map(len, plain))
        else:
            blocks = [held.enter_context(Borrowed(data, f"entry {i}")) for i, data in enumerate(datas)]
            pointers = (ctypes.c_void_p * len(blocks))(*(block.address for block in blocks))
            sizes = (ctypes.c_size_t * len(blocks))(*(block.size for block in blocks))
        out, out_size = ctypes.c_void_p(), ctypes.c_size_t()
        status = _library.pack(ctypes.cast(pointers, _library.void_pp), sizes, len(datas),
                               ctypes.byref(options), ctypes.byref(out), ctypes.byref(out_size))
    if status == ERR_ARGUMENT:  # every other argument was checked above
        raise ValueError(f"format {options.format} is not one libls11 writes")
    return _take_output(status, out, out_size)


def _level(level: str | int) -> int:
    if isinstance(level, str):
        if level not in _LEVELS:
            raise ValueError(f"level must be 'store', 'fast' or 'best', not {level!r}")
        return _LEVELS[level]
    return _integer_in(level, "level", _LEVELS.values())


def _pairs(replacements: Replacements) -> list[tuple[int, ReadableBuffer]]:
    items = replacements.items() if isinstance(replacements, Mapping) else replacements
    try:
        pairs = [(index, data) for index, data in items]
    except (TypeError, ValueError):
        raise TypeError("replacements must be a mapping of index to bytes, "
                        "or (index, bytes) pairs") from None
    return pairs


def replace(source: Archive | Source, replacements: Replacements) -> bytes:
    """A copy of an LS11 file in which each entry named in replacements
    ({index: bytes}, or (index, bytes) pairs) holds the new bytes; every
    other entry is kept as it is. source is an open Archive, a path, or the
    file as bytes."""
    if not isinstance(source, Archive):
        with Archive(source) as archive:
            return replace(archive, replacements)
    with contextlib.ExitStack() as held:
        items = [(source._entry(index).index, held.enter_context(Borrowed(data, f"entry {index}")))
                 for index, data in _pairs(replacements)]
        named = [index for index, _ in items]
        if len(set(named)) != len(named):
            twice = next(index for index in named if named.count(index) > 1)
            raise ValueError(f"entry {twice} is named twice")
        array = (_library.Replacement * len(items))(
            *(_library.Replacement(index, data.address, data.size) for index, data in items))
        out, out_size = ctypes.c_void_p(), ctypes.c_size_t()
        with source._lock:
            handle = source._live_handle()
            status = _library.replace(handle, array, len(items), ctypes.byref(out), ctypes.byref(out_size))
            if status != OK:  # which entry, asked again of a call that writes nothing
                reason = _library.Reason()
                _library.replace_to(handle, array, len(items), _library.refuse, None, ctypes.byref(reason))
                raise _failure(status, "replace", reason)
    return _take_output(status, out, out_size)


def decode_block(packed: ReadableBuffer, dictionary: ReadableBuffer, unpacked_size: int) -> bytes:
    """Decodes one compressed block with a file's 256-byte dictionary into
    unpacked_size bytes."""
    unpacked_size = _integer_in(unpacked_size, "unpacked_size", range(_UINT32_MAX + 1))
    with Borrowed(dictionary, "dictionary") as table, Borrowed(packed, "packed") as block:
        if table.size != 256:
            raise ValueError(f"a dictionary has 256 bytes, not {table.size}")
        out, address = new_bytes(unpacked_size)
        _check(_library.decode_block(block.address, block.size, table.address, address, unpacked_size))
    return out
