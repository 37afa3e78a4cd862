"""The Python module over the library: what the C suite checks, briefly, as a
Python program sees it. CTest runs it with LS11_LIBRARY set to the build's
library and LS11_SOURCE_DIR to the project."""
import os
import pathlib
import re
import struct
import subprocess
import sys

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


@pytest.mark.parametrize("damage, status, at_open", [
    (lambda d: b"LS13" + d[4:], ls11.ERR_FORMAT, True),
    (lambda d: d[:-1], ls11.ERR_FORMAT, True),
    (lambda d: d[:283], ls11.ERR_FORMAT, True),
    (last_block_past_the_end, ls11.ERR_CORRUPT, False),
], ids=["unknown version", "one byte short", "too short for entry 0", "block past the end"])
def test_damaged_files_raise_the_library_status(damage, status, at_open):
    data = damage(SAMPLES[0].read_bytes())
    with pytest.raises(ls11.Error) as raised:
        with ls11.open(data) as archive:
            archive.read_all()
    assert raised.value.status == status
    if not at_open:
        assert ls11.open(data).entries


def test_errors_carry_status_and_reason():
    with pytest.raises(ls11.Error) as raised:
        ls11.open(SOURCE / "no such file.LS11")
    assert raised.value.status == ls11.ERR_OPEN
    assert "no such file.LS11" in str(raised.value)
    assert str(ls11.Error(99))  # a status the library does not know still reads
    with ls11.open(SAMPLES[0]) as archive:
        for index in (-1, len(archive.entries), 2**32):
            with pytest.raises(ls11.Error) as raised:
                archive.read(index)
            assert raised.value.status == ls11.ERR_ARGUMENT
    with pytest.raises(ls11.Error) as raised:
        ls11.pack([])
    assert raised.value.status == ls11.ERR_ARGUMENT


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


@pytest.mark.skipif(ls11._replace is None, reason="the library has no ls11_replace yet")
def test_replace_changes_one_entry_and_keeps_the_others():
    data = SAMPLES[0].read_bytes()
    with ls11.open(data) as original:
        kept = [original.read(e.index) for e in original.entries]
        for source in (original, data):
            with ls11.open(ls11.replace(source, {0: b"new bytes"})) as changed:
                assert changed.format == original.format
                assert changed.read(0) == b"new bytes"
                assert [changed.read(e.index) for e in changed.entries[1:]] == kept[1:]
    with pytest.raises(ls11.Error) as raised:
        ls11.replace(data, {len(kept): b"past the end"})
    assert raised.value.status == ls11.ERR_ARGUMENT


def readme_block(language):
    readme = (SOURCE / "README.md").read_text(encoding="utf-8")
    return re.search(rf"```{language}\n(.*?)```", readme[readme.index("## Using the library"):], re.S).group(1)


def test_the_readme_shows_the_tested_examples():
    assert readme_block("c") == (SOURCE / "tests/install/example.c").read_text(encoding="utf-8")
    assert readme_block("python") == (SOURCE / "tests/install/example.py").read_text(encoding="utf-8")


def test_the_python_example_runs(tmp_path):
    out = tmp_path / "decoded"
    run = subprocess.run([sys.executable, SOURCE / "tests/install/example.py", SAMPLES[0], out],
                         capture_output=True, text=True, check=True)
    assert out.read_bytes() == expected(SAMPLES[0])
    assert run.stdout.startswith("LS1")
