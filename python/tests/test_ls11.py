"""The Python module over the library: what the C suite checks, briefly, as a
Python program sees it, and the module's own Python behaviour. CTest runs it
with LS11_LIBRARY set to the build's library and LS11_SOURCE_DIR to the
project; CI runs it again against the installed wheel."""
import array
import ctypes.util
import errno
import importlib.metadata
import mmap
import os
import pathlib
import pickle
import re
import struct
import subprocess
import sys
import threading

import pytest

import ls11

SOURCE = pathlib.Path(os.environ.get("LS11_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
SAMPLES = sorted((SOURCE / "samples").glob("*.LS11"))


def expected(sample):
    return sample.with_suffix(".expected").read_bytes()


def test_the_samples_are_there():
    assert len(SAMPLES) >= 3


@pytest.mark.parametrize("sample", SAMPLES, ids=lambda p: p.name)
def test_read_all_gives_what_unls11_writes(sample):
    data = sample.read_bytes()
    for source in (sample, str(sample), data):
        with ls11.open(source) as archive:
            assert archive.format == 10 + data[3] - ord("0")
            assert archive.dictionary == data[16:272]
            assert archive.read_all() == expected(sample)
            assert sum(e.unpacked_size for e in archive.entries) == len(expected(sample))
            for e in archive.entries:
                assert e.stored == (e.packed_size == e.unpacked_size)


def last_block_past_the_end(data):
    """The last entry's block moved to start at the file's last byte (the
    table's length and sizes still add up)."""
    count = (struct.unpack(">I", data[280:284])[0] - 276) // 12
    at = 272 + 12 * (count - 1) + 8
    return data[:at] + struct.pack(">I", len(data) - 1) + data[at + 4:]


def changed(at, value):
    return lambda d: d[:at] + struct.pack(">I", value) + d[at + 4:]


def first_compressed_garbled(data):
    with ls11.open(data) as archive:
        e = next(e for e in archive.entries if not e.stored)
    return data[:e.data_offset] + b"\xff" * e.packed_size + data[e.data_offset + e.packed_size:]


N = len(SAMPLES[0].read_bytes())
COUNT = (struct.unpack(">I", SAMPLES[0].read_bytes()[280:284])[0] - 276) // 12


@pytest.mark.parametrize("damage, status, reason, entry, found, expected", [
    (lambda d: b"", ls11.ERR_FORMAT, ls11.REASON_EMPTY, None, 0, 0),
    (lambda d: d[:4], ls11.ERR_FORMAT, ls11.REASON_SHORT_HEADER, None, 4, 16),
    (lambda d: b"LS13" + d[4:], ls11.ERR_FORMAT, ls11.REASON_UNKNOWN_KIND, None, 0x4C533133, 0),
    (lambda d: d[:9] + b"\1" + d[10:], ls11.ERR_FORMAT, ls11.REASON_HEADER_PADDING, None, 9, 0),
    (lambda d: d[:16] + bytes(100), ls11.ERR_FORMAT, ls11.REASON_NO_TABLE, None, 116, 284),
    (changed(280, 100), ls11.ERR_FORMAT, ls11.REASON_FIRST_OFFSET, None, 100, 288),
    (changed(280, 276 + 12 * 100), ls11.ERR_FORMAT, ls11.REASON_TABLE_CUT, None, N, 276 + 12 * 100),
    (lambda d: d + b"\0", ls11.ERR_FORMAT, ls11.REASON_LENGTH_MISMATCH, None, N + 1, N),
    (last_block_past_the_end, ls11.ERR_CORRUPT, ls11.REASON_BLOCK_OUTSIDE, COUNT - 1, N, None),
    (first_compressed_garbled, ls11.ERR_CORRUPT, ls11.REASON_BLOCK_CORRUPT, 0, 0, 0),
], ids=["empty", "shorter than a header", "unknown kind", "header not padded", "no room for a table",
        "first offset inside the table", "table cut short", "length not the table's",
        "block outside the file", "block does not decode"])
def test_damaged_files_raise_the_library_status_and_reason(damage, status, reason, entry, found,
                                                           expected):
    data = damage(SAMPLES[0].read_bytes())
    calls = [lambda: ls11.open(data).read_all()]
    if entry is not None:  # the file opens: its reads, and a replace that keeps the entry, fail
        other = (entry + 1) % COUNT
        calls += [lambda: ls11.open(data).read(entry), lambda: ls11.replace(data, {other: b"x"})]
    for number, call in enumerate(calls):
        with pytest.raises(ls11.Error) as raised:
            call()
        error = raised.value
        assert (error.status, error.reason, error.entry, error.found) == (status, reason, entry, found)
        assert expected is None or error.expected == expected
        assert str(error).startswith(f"entry {entry}: " if number == 1 else "")


@pytest.mark.parametrize("path, reason", [
    (SOURCE / "no such file.LS11", errno.ENOENT), (SOURCE, errno.EISDIR), ("", errno.ENOENT),
], ids=["missing", "folder", "empty name"])
def test_open_errors_carry_the_systems_reason(path, reason):
    with pytest.raises(ls11.Error) as raised:
        ls11.open(path)
    assert raised.value.status == ls11.ERR_OPEN and str(path) in str(raised.value)
    assert raised.value.errno == reason and raised.value.__cause__.errno == reason
    assert raised.value.reason == ls11.REASON_CANNOT_OPEN and os.strerror(reason) in str(raised.value)


def test_errors_carry_status_and_reason():
    unknown = str(ls11.Error(99))  # a status the library does not know still reads
    assert unknown and str(ls11.Error(2**40)) == str(ls11.Error(-2**40)) == unknown
    error = ls11.Error(ls11.ERR_CORRUPT, "entry 3")
    error.errno = 5
    again = pickle.loads(pickle.dumps(error))
    assert (type(again), again.status, str(again), again.errno) == (ls11.Error, error.status, str(error), 5)
    with pytest.raises(ls11.Error, match="pass the path as str"):
        ls11.open(os.fsencode(SAMPLES[0]))
    with ls11.open(SAMPLES[0]) as archive:
        for index in (-1, len(archive.entries), 2**32):
            with pytest.raises(IndexError):
                archive.read(index)


@pytest.mark.parametrize("file_format", [10, 11, 12])
@pytest.mark.parametrize("level", ["store", "fast", "best"])
def test_pack_reads_back(file_format, level):
    entries = [b"hello, world", b"ls11 " * 300, b"", bytes(range(256)) * 4]
    packed = ls11.pack(entries, format=file_format, level=level, threads=1)
    with ls11.open(packed) as archive:
        assert archive.format == file_format
        assert [archive.read(e.index) for e in archive.entries] == entries
        assert archive.entries[1].stored == (level == "store")
    assert ls11.pack(entries, format=file_format, level=level, threads=3) == packed


def test_decode_block_matches_the_archive():
    data = SAMPLES[0].read_bytes()
    with ls11.open(data) as archive:
        e = next(e for e in archive.entries if not e.stored)
        block = data[e.data_offset:e.data_offset + e.packed_size]
        assert ls11.decode_block(block, archive.dictionary, e.unpacked_size) == archive.read(e.index)
        with pytest.raises(ls11.Error) as raised:
            ls11.decode_block(b"\xff" * 8, archive.dictionary, e.unpacked_size)  # one-bits only
        assert raised.value.status == ls11.ERR_CORRUPT


def test_replace_changes_one_entry_and_keeps_the_others():
    data = SAMPLES[0].read_bytes()
    with ls11.open(data) as original:
        kept = [original.read(e.index) for e in original.entries]
        for source in (original, data):
            with ls11.open(ls11.replace(source, {0: b"new bytes"})) as changed:
                assert changed.format == original.format
                assert changed.read(0) == b"new bytes"
                assert [changed.read(e.index) for e in changed.entries[1:]] == kept[1:]
    with pytest.raises(IndexError):
        ls11.replace(data, {len(kept): b"past the end"})
    with ls11.open(ls11.replace(data, [(0, b"a pair"), (1, b"")])) as changed:
        assert (changed.read(0), changed.read(1)) == (b"a pair", b"")


def doc_blocks(name, language):
    text = (SOURCE / "doc" / name).read_text(encoding="utf-8")
    return re.findall(rf"```{language}\n(.*?)```", text, re.S)


def test_the_docs_show_the_tested_examples():
    assert (SOURCE / "tests/install/example.c").read_text(encoding="utf-8") in doc_blocks("library.md", "c")
    assert doc_blocks("python.md", "python")[1] == (SOURCE / "tests/install/example.py").read_text(encoding="utf-8")


def test_the_python_example_runs(tmp_path):
    out = tmp_path / "decoded"
    run = subprocess.run([sys.executable, SOURCE / "tests/install/example.py", SAMPLES[0], out],
                         capture_output=True, text=True, check=True)
    assert out.read_bytes() == expected(SAMPLES[0])
    assert run.stdout.startswith("LS1")


def test_the_version_is_the_librarys_and_the_packages():
    header = (SOURCE / "include/ls11.h").read_text(encoding="utf-8")
    assert ls11.__version__ == re.search(r'#define LS11_VERSION_STRING "(.*)"', header).group(1)
    try:
        assert importlib.metadata.version("ls11kit") == ls11.__version__
    except importlib.metadata.PackageNotFoundError:
        assert "site-packages" not in ls11.__file__  # only the source tree's module has no metadata


@pytest.mark.parametrize("call, error", [
    (lambda: ls11.open(str(SAMPLES[0]) + "\0junk"), ValueError),
    (lambda: ls11.pack([]), ValueError),
    (lambda: ls11.pack([5]), TypeError),
    (lambda: ls11.pack([[1, 2, 3]]), TypeError),
    (lambda: ls11.pack(["text"]), TypeError),
    (lambda: ls11.replace(SAMPLES[0], {0: 7}), TypeError),
    (lambda: ls11.replace(SAMPLES[0], {99: b""}), IndexError),
    (lambda: ls11.replace(SAMPLES[0], [(0, b"a"), (0, b"b")]), ValueError),
    (lambda: ls11.replace(SAMPLES[0], [0]), TypeError),
    (lambda: ls11.pack([b"x"], format=2**32 + 11), ValueError),
    (lambda: ls11.pack([b"x"], format=13), ValueError),
    (lambda: ls11.pack([b"x"], level=2**32 + 2), ValueError),
    (lambda: ls11.pack([b"x"], level="quick"), ValueError),
    (lambda: ls11.pack([b"x"], threads=2**32), ValueError),
    (lambda: ls11.pack([b"x"], threads=-1), ValueError),
    (lambda: ls11.pack([b"x"], threads=1.0), TypeError),
    (lambda: ls11.open(SAMPLES[0]).read_into(0, bytes(1 << 20)), TypeError),
    (lambda: ls11.open(SAMPLES[0]).read_into(0, bytearray(1)), ValueError),
    (lambda: ls11.decode_block(b"", bytes(255), 0), ValueError),
    (lambda: ls11.decode_block(b"", bytes(256), -1), ValueError),
], ids=["NUL in a path", "no entry", "int as data", "list as data", "str as data",
        "int as replacement", "replacement past the end", "entry named twice", "not pairs",
        "format wrapping to 11", "format 13",
        "level wrapping to best", "unknown level", "threads wrapping to 0", "negative threads",
        "float threads", "read_into bytes", "read_into too small", "short dictionary",
        "negative size"])
def test_python_mistakes_raise_pythons_exceptions(call, error):
    with pytest.raises(error):
        call()


def test_any_bytes_like_object_is_taken_in_place(tmp_path):
    entries = [b"bytes", bytearray(b"bytearray"), memoryview(b"--memoryview--")[2:-2],
               array.array("H", [0x4C53, 0x3131]), mmap.mmap(-1, 5)]
    packed = ls11.pack(entries, level="fast", threads=1)
    (tmp_path / "packed.LS11").write_bytes(packed)
    with (tmp_path / "packed.LS11").open("rb") as file, \
            mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ) as mapped:
        for source in (bytearray(packed), mapped):
            with ls11.open(source) as archive:
                assert len(archive) == len(entries)
                assert [e.index for e in archive] == list(range(len(entries)))
                assert [archive.read(e.index) for e in archive] == [bytes(e) for e in entries]
                archive.entries[1] = archive.entries[1]._replace(unpacked_size=1 << 20)
                assert archive.read(1) == b"bytearray"  # the library's sizes, not the caller's list
                buffer = bytearray(b"#" * 12)
                assert archive.read_into(1, memoryview(buffer)[1:]) == 9
                assert buffer == b"#bytearray##"
                with ls11.open(ls11.replace(archive, {4: array.array("B", b"new")})) as changed:
                    assert changed.read(4) == b"new"
    with pytest.raises(BufferError):
        source = bytearray(packed)
        with ls11.open(source):
            source.append(0)  # the library reads these bytes: they cannot move meanwhile


def test_results_of_2_gib_and_more_come_back_whole():
    # pack and replace copy their result out of a buffer the library
    # allocated with malloc; one from calloc stands in for a 2 GiB file here,
    # since packing one takes half a minute and 6 GiB.
    libc = ctypes.CDLL(ctypes.util.find_library("c"))
    libc.calloc.restype, libc.calloc.argtypes = ctypes.c_void_p, (ctypes.c_size_t, ctypes.c_size_t)
    size = 2**31 + 1
    allocated = libc.calloc(size, 1)
    assert allocated
    result = ls11._take_output(ls11.OK, ctypes.c_void_p(allocated), ctypes.c_size_t(size))
    assert len(result) == size


@pytest.mark.parametrize("library", [
    "/no/such/libls11.so.1", __file__, ctypes.util.find_library("z") or "libz.so.1",
], ids=["missing", "not a library", "another library"])
def test_an_unusable_library_raises_import_error(library):
    environment = dict(os.environ, LS11_LIBRARY=library,
                       PYTHONPATH=os.path.dirname(os.path.dirname(ls11.__file__)))
    run = subprocess.run([sys.executable, "-c", "import ls11"], env=environment,
                         capture_output=True, text=True)
    last_line = run.stderr.strip().splitlines()[-1]
    assert run.returncode == 1 and last_line.startswith("ImportError: ") and library in last_line


def test_the_python_guides_example_runs(tmp_path):
    run = subprocess.run([sys.executable, "-c", doc_blocks("python.md", "python")[0]], cwd=tmp_path,
                         capture_output=True, text=True, check=True)
    lines = run.stdout.splitlines()
    assert lines[0].endswith("-> 12 b'hello, world'") and lines[1].endswith("-> 500 b'LS11 LS11 LS'")


def cut_short(size):
    def make(folder):
        path = folder / "libls11.so.1"
        path.write_bytes(pathlib.Path(ls11.library_path).read_bytes()[:size])
        return str(path)
    return make


@pytest.mark.parametrize("make", [
    cut_short(1000), cut_short(5000), cut_short(20000),
], ids=["first 1000 bytes", "first 5000 bytes", "first 20000 bytes"])
def test_a_cut_short_library_raises_import_error(make, tmp_path):
    test_an_unusable_library_raises_import_error(make(tmp_path))


def claiming(size):
    """Sample 0 with its first compressed entry claiming size bytes."""
    data = bytearray(SAMPLES[0].read_bytes())
    with ls11.open(bytes(data)) as archive:
        e = next(e for e in archive.entries if not e.stored)
    struct.pack_into(">I", data, 272 + 12 * e.index + 4, size)
    return bytes(data), e


PEAK_SCRIPT = """
import resource, sys, ls11
def peak(): return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
data, index, call = open(sys.argv[1], "rb").read(), int(sys.argv[2]), sys.argv[3]
archive = ls11.open(data)
entry = archive.entries[index]
block = data[entry.data_offset:entry.data_offset + entry.packed_size]
calls = {"read": lambda: archive.read(index), "read_all": archive.read_all,
         "decode_block": lambda: ls11.decode_block(block, archive.dictionary, entry.unpacked_size)}
before = peak()
try:
    calls[call]()
    status = 0
except ls11.Error as error:
    status = error.status
print(status, peak() - before)
"""


@pytest.mark.parametrize("call", ["read", "read_all", "decode_block"])
def test_reads_hold_no_more_than_what_they_decode(call, tmp_path):
    # A claimed size is never allocated and filled ahead of the decoder,
    # and a good read holds its result once, not a copy beside it.
    huge, e = claiming(0xFFFFFFFF)
    good = ls11.pack([b"\0" * (64 << 20)], level="fast")
    for data, index, status, most in ((huge, e.index, ls11.ERR_CORRUPT, 16 << 20),
                                      (good, 0, ls11.OK, 80 << 20)):
        (tmp_path / "file").write_bytes(data)
        run = subprocess.run([sys.executable, "-c", PEAK_SCRIPT, tmp_path / "file", str(index), call],
                             capture_output=True, text=True, check=True)
        got_status, growth = map(int, run.stdout.split())
        assert got_status == status and growth < most, (data is good, growth)


def test_close_waits_for_a_read_on_another_thread(tmp_path):
    (tmp_path / "big.LS11").write_bytes(ls11.pack([os.urandom(1 << 20) * 8], level="store"))
    for attempt in range(20):
        archive = ls11.open(tmp_path / "big.LS11")
        outcomes, started = [], threading.Event()

        def read():
            buffer = bytearray(8 << 20)
            started.set()
            while True:
                try:
                    archive.read_into(0, buffer)
                    outcomes.append("read")
                except ValueError:  # closed: the only other outcome
                    return
                except ls11.Error as error:
                    outcomes.append(error)
                    return

        reader = threading.Thread(target=read)
        reader.start()
        started.wait()
        threading.Event().wait(0.001 * attempt)
        archive.close()
        reader.join()
        assert all(outcome == "read" for outcome in outcomes), outcomes


def test_a_million_empty_entries_pack_lean(tmp_path):
    run = subprocess.run([sys.executable, "-c", PEAK_SCRIPT.split("data, index")[0] +
                          "before = peak(); packed = ls11.pack([b''] * 1000000, level='fast')\n"
                          "print(len(packed), peak() - before)"],
                         capture_output=True, text=True, check=True)
    size, growth = map(int, run.stdout.split())
    assert size == 16 + 256 + 12 * 1000000 + 4 and growth < 200 << 20


@pytest.mark.parametrize("layout_known", [True, False])
def test_random_buffers_go_through_whole(layout_known, monkeypatch):
    # The module's own conversion of Python objects to addresses and sizes,
    # driven by a fixed seed: entries of any length in every kind of buffer,
    # sliced at any offset, packed, read back whole and into any slice; bytes
    # reached through their layout, or asked for their address.
    import random
    if not layout_known:
        monkeypatch.setattr(ls11._buffers, "_CONTENTS_OFFSET", -1)
    rng = random.Random(25)
    kinds = [bytes, bytearray, lambda b: memoryview(b"~" + b + b"~")[1:-1],
             lambda b: array.array("B", b), lambda b: memoryview(bytearray(b)).cast("B")]
    for _ in range(40):
        datas = [rng.randbytes(rng.choice([0, 1, 2, 255, 4096, rng.randrange(70000)]))
                 for _ in range(rng.randrange(1, 6))]
        packed = ls11.pack([rng.choice(kinds)(d) for d in datas], level=rng.choice(["store", "fast"]),
                           threads=1)
        with ls11.open(rng.choice(kinds)(packed)) as archive:
            assert archive.read_all() == b"".join(datas)
            index = rng.randrange(len(datas))
            assert archive.read(index) == datas[index]
            at = rng.randrange(8)
            target = bytearray(at + len(datas[index]) + rng.randrange(8))
            assert archive.read_into(index, memoryview(target)[at:]) == len(datas[index])
            assert target[at:at + len(datas[index])] == datas[index]
