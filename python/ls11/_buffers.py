"""Python's bytes and the library's memory: the bytes of any object with the
buffer protocol (bytes, bytearray, memoryview, array, mmap, a numpy array)
reached in place, and memory the library returned copied into bytes at any
size (ctypes.string_at takes its size as a C int, so stops at 2 GiB)."""
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


def copy_to_bytes(address: int | None, size: int) -> bytes:
    """The size bytes at address, copied into a new bytes object."""
    copy: bytes = _bytes_from(address, size)
    return copy


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
