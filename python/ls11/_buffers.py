"""Python's bytes and the library's memory: the bytes of any object with the
buffer protocol (bytes, bytearray, memoryview, array, mmap, a numpy array)
reached in place, memory the library returned copied into bytes at any size
(ctypes.string_at takes its size as a C int, so stops at 2 GiB), and new
bytes objects the library writes into before anyone else sees them."""
from __future__ import annotations

import ctypes
from typing import Any

_PyBUF_SIMPLE, _PyBUF_WRITABLE = 0, 1


class _PyBuffer(ctypes.Structure):
    # Python's Py_buffer, as the C API lays it out.
    _fields_ = [("buf", ctypes.c_void_p), ("obj", ctypes.c_void_p), ("len", ctypes.c_ssize_t),
                ("itemsize", ctypes.c_ssize_t), ("readonly", ctypes.c_int), ("ndim", ctypes.c_int),
                ("format", ctypes.c_char_p), ("shape", ctypes.c_void_p), ("strides", ctypes.c_void_p),
                ("suboffsets", ctypes.c_void_p), ("internal", ctypes.c_void_p)]


_get_buffer = ctypes.pythonapi.PyObject_GetBuffer
_get_buffer.argtypes = (ctypes.py_object, ctypes.POINTER(_PyBuffer), ctypes.c_int)
_get_buffer.restype = ctypes.c_int
_release_buffer = ctypes.pythonapi.PyBuffer_Release
_release_buffer.argtypes = (ctypes.POINTER(_PyBuffer),)
_release_buffer.restype = None
_bytes_from = ctypes.pythonapi.PyBytes_FromStringAndSize
_bytes_from.argtypes = (ctypes.c_void_p, ctypes.c_ssize_t)
_bytes_from.restype = ctypes.py_object
_bytes_address = ctypes.pythonapi.PyBytes_AsString
_bytes_address.argtypes = (ctypes.py_object,)
_bytes_address.restype = ctypes.c_void_p


def copy_to_bytes(address: int | None, size: int) -> bytes:
    """The size bytes at address, copied into a new bytes object."""
    copy: bytes = _bytes_from(address, size)
    return copy


# Where a bytes object's contents start, from its own address: reached this
# way, a million entries cost no call each. Checked once here; where the
# interpreter lays bytes out otherwise, each is asked for its address.
_CONTENTS_OFFSET = bytes.__basicsize__ - 1
_probe = b"contents"
if ctypes.string_at(id(_probe) + _CONTENTS_OFFSET, len(_probe)) != _probe:
    _CONTENTS_OFFSET = -1


def bytes_addresses(datas: list[bytes]) -> ctypes.Array[ctypes.c_size_t]:
    """The addresses of the contents of every bytes object in datas, which
    must stay alive while they are used."""
    if _CONTENTS_OFFSET < 0:
        return (ctypes.c_size_t * len(datas))(*map(_bytes_address, datas))
    return (ctypes.c_size_t * len(datas))(*[id(data) + _CONTENTS_OFFSET for data in datas])


def new_bytes(size: int) -> tuple[bytes, int | None]:
    """A new bytes object of size bytes and the address of its contents,
    which are left as the allocator gives them: no zero-fill, so pages the
    decoder never writes (a block that claims more than it holds) are never
    touched. Nothing else holds the object until it is returned."""
    if size == 0:
        return b"", None
    fresh: bytes = _bytes_from(None, size)
    return fresh, _bytes_address(fresh)


class Borrowed:
    """The address and size of data's own bytes, which stay held (a
    bytearray cannot be resized meanwhile) until release() or the end of a
    with block. TypeError when data is not a contiguous bytes-like object,
    or not a writable one when writable is asked for."""

    def __init__(self, data: Any, what: str, writable: bool = False) -> None:
        self._view: _PyBuffer | None = None
        view = _PyBuffer()
        try:
            _get_buffer(data, ctypes.byref(view), _PyBUF_WRITABLE if writable else _PyBUF_SIMPLE)
        except (TypeError, BufferError):
            kind = "a contiguous writable" if writable else "a contiguous"
            raise TypeError(f"{what} must be {kind} bytes-like object, not {type(data).__name__}") from None
        self._view = view
        self.address: int | None = view.buf
        self.size: int = view.len

    def release(self) -> None:
        if self._view is not None:
            _release_buffer(ctypes.byref(self._view))
            self._view = None

    def __enter__(self) -> Borrowed:
        return self

    def __exit__(self, *exception: object) -> None:
        self.release()

    def __del__(self) -> None:
        self.release()
