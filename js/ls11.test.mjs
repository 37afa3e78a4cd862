// ls11.js against the native tools: the same entries, the same decoded
// bytes, the same packed and replaced files; every status and every kind of
// wrong argument. LS11_JS, LS11_TOOL, LS11_UNLS11 and LS11_SAMPLES name the
// module, the native ls11 and unls11 tools and the samples folder.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { test } from "node:test";
import { pathToFileURL } from "node:url";

const ls11 = await import(pathToFileURL(process.env.LS11_JS).href);
const tool = process.env.LS11_TOOL;
const samples = process.env.LS11_SAMPLES;
const work = mkdtempSync(join(tmpdir(), "ls11js-"));
const native = (...args) => execFileSync(tool, args, { maxBuffer: 1 << 28 });

// A deterministic generator, so that a failure can be run again.
function random(seed) {
  let state = seed >>> 0;
  return () => (state = (Math.imul(state, 1664525) + 1013904223) >>> 0);
}

// Entries of every shape the encoder meets: empty, one byte, text-like runs
// with repeats, noise, and one long repetitive block.
function randomEntries(seed) {
  const next = random(seed);
  const words = ["castle", "general", "spring", "army", "\x00\x00\x00\x01", "rice"];
  const text = (n) => {
    const bytes = [];
    while (bytes.length < n) bytes.push(...Buffer.from(words[next() % words.length] + " "));
    return Uint8Array.from(bytes.slice(0, n));
  };
  const noise = (n) => Uint8Array.from({ length: n }, () => next() & 0xff);
  return [new Uint8Array(0), Uint8Array.of(next() & 0xff), text(3000 + (next() % 5000)),
          noise(500 + (next() % 2000)), text(70000)];
}

// An LS11 file whose entries decode to `sizes` bytes from a few bytes each:
// one literal, then one back-reference that repeats it. The bit code's
// values: n bits "1...10", then n bits m, stand for 2^n - 2 + m.
function claimingFile(sizes) {
  const valueBits = (x) => {
    let n = 1;
    while (x >= 2 ** (n + 1) - 2) ++n;
    return "1".repeat(n - 1) + "0" + (x - (2 ** n - 2)).toString(2).padStart(n, "0");
  };
  const blocks = sizes.map((size) => {
    const code = valueBits(0) + valueBits(257) + valueBits(size - 4);
    const bits = code.padEnd(8 * Math.ceil(code.length / 8), "0");
    return Uint8Array.from({ length: bits.length / 8 }, (_, i) => parseInt(bits.slice(8 * i, 8 * i + 8), 2));
  });
  const file = new Uint8Array(276 + 12 * sizes.length + blocks.reduce((sum, b) => sum + b.length, 0));
  file.set(new TextEncoder().encode("LS11"));
  file.set(Uint8Array.from({ length: 256 }, (_, i) => i), 16);
  const table = new DataView(file.buffer);
  let at = 276 + 12 * sizes.length;
  blocks.forEach((block, i) => {
    table.setUint32(272 + 12 * i, block.length);
    table.setUint32(276 + 12 * i, sizes[i]);
    table.setUint32(280 + 12 * i, at);
    file.set(block, at);
    at += block.length;
  });
  return file;
}

// `file` with entry `index` claiming `size` bytes.
function claiming(file, index, size) {
  const changed = Uint8Array.from(file);
  new DataView(changed.buffer).setUint32(276 + 12 * index, size);
  return changed;
}

const sampleFiles = readdirSync(samples).filter((name) => name.endsWith(".LS11")).map((name) => join(samples, name));

test("samples: table, entries and decoded file as the native tools give them", () => {
  assert.ok(sampleFiles.length >= 4);
  for (const path of sampleFiles) {
    const archive = ls11.open(readFileSync(path));
    const [listed] = JSON.parse(native("list", "--json", path).toString());
    assert.equal(archive.format, listed.version, path);
    assert.deepEqual(archive.entries, listed.entries.map((e) => ({
      index: e.index, packedSize: e.packed_size, unpackedSize: e.unpacked_size,
      dataOffset: e.offset, stored: e.stored })), path);
    const expected = new Uint8Array(readFileSync(path.replace(/LS11$/, "expected")));
    assert.deepEqual(archive.readAll(), expected, path);
    const reused = new Uint8Array(expected.length + 3).fill(7);
    assert.equal(archive.readAll(reused), expected.length);
    assert.deepEqual(reused, Uint8Array.of(...expected, 7, 7, 7), path);
    for (const { index } of archive.entries) {
      const bytes = new Uint8Array(native("cat", path, String(index)));
      assert.deepEqual(archive.read(index), bytes, `${path} ${index}`);
      assert.equal(archive.readInto(index, reused), bytes.length);
      assert.deepEqual(reused.subarray(0, bytes.length), bytes, `${path} ${index} into`);
    }
    const dictionary = archive.dictionary;
    const compressed = archive.entries.find((e) => !e.stored);
    if (compressed) {
      const bytes = readFileSync(path);
      const packed = bytes.subarray(compressed.dataOffset, compressed.dataOffset + compressed.packedSize);
      assert.deepEqual(ls11.decodeBlock(packed, dictionary.buffer, compressed.unpackedSize),
                       archive.read(compressed.index));
    }
    archive.close();
    archive.close();
  }
});

test("random files: pack and replace give the native tool's bytes, and read back", () => {
  const cases = [
    { seed: 1, format: 11, level: "best", flags: [] },
    { seed: 2, format: 10, level: "fast", flags: ["--level", "fast"] },
    { seed: 3, format: 12, level: "store", flags: ["--store"] },
  ];
  for (const { seed, format, level, flags } of cases) {
    const entries = randomEntries(seed);
    const inputs = entries.map((bytes, i) => {
      const path = join(work, `in${seed}.${i}`);
      writeFileSync(path, bytes);
      return path;
    });
    const packed = ls11.pack(entries, { format, level });
    const nativePath = join(work, `packed${seed}.LS11`);
    native("pack", "-q", "-o", nativePath, "--format", String(format), ...flags, ...inputs);
    assert.deepEqual(packed, new Uint8Array(readFileSync(nativePath)), `pack ${format} ${level}`);

    const archive = ls11.open(packed.buffer);
    assert.equal(archive.format, format);
    entries.forEach((bytes, i) => assert.deepEqual(archive.read(i), bytes, `entry ${i}`));

    const fresh = randomEntries(seed + 100);
    const replacedPath = join(work, `replaced${seed}.LS11`);
    native("replace", "-q", nativePath, "-o", replacedPath, `1=${inputs[4]}`, `3=${inputs[0]}`);
    const expected = new Uint8Array(readFileSync(replacedPath));
    assert.deepEqual(ls11.replace(archive, new Map([[1, entries[4]], [3, entries[0]]])), expected);
    assert.deepEqual(ls11.replace(packed, { 3: entries[0], 1: entries[4] }), expected);
    const replaced = ls11.open(ls11.replace(archive, { 2: fresh[2] }));
    assert.deepEqual(replaced.read(2), fresh[2]);
    assert.deepEqual(replaced.read(4), entries[4]);
    archive.close();
    replaced.close();
  }
});

test("statuses: numbers, descriptions and the failures that carry them", () => {
  const names = ["OK", "ERR_OPEN", "ERR_WRITE", "ERR_FORMAT", "ERR_CORRUPT", "ERR_NO_MEMORY",
                 "ERR_ARGUMENT", "ERR_TOO_LARGE"];
  names.forEach((name, status) => assert.equal(ls11[name], status, name));
  assert.equal(ls11.statusString(ls11.OK), "success");
  assert.equal(ls11.statusString(ls11.ERR_CORRUPT), "a block lies outside the file or does not decode");
  for (const status of [99, -1, 2 ** 31, 2 ** 32, 2 ** 40, -(2 ** 32)]) {
    assert.equal(ls11.statusString(status), "unknown status", String(status));
    assert.equal(ls11.statusReport(status), "Unknown status!", String(status));
  }
  assert.match(ls11.version, /^\d+\.\d+(\.\d+)?$/);

  const sample = readFileSync(sampleFiles[0]);
  const archive = ls11.open(sample);
  const damaged = Uint8Array.from(sample);
  const last = archive.entries.at(-1);
  damaged.fill(0xff, last.dataOffset, last.dataOffset + last.packedSize);
  // unls11's report line for each status it meets is the module's.
  const reported = [["OK.LS11", sample, ls11.OK], ["FORMAT.LS11", new Uint8Array(100), ls11.ERR_FORMAT],
                    ["CORRUPT.LS11", damaged, ls11.ERR_CORRUPT], ["MISSING.LS11", null, ls11.ERR_OPEN]];
  const folder = mkdtempSync(join(work, "unls11-"));
  for (const [name, bytes] of reported) if (bytes) writeFileSync(join(folder, name), bytes);
  const report = execFileSync(process.env.LS11_UNLS11, reported.map(([name]) => name), { cwd: folder }).toString();
  for (const [name, , status] of reported) assert.ok(report.includes(`${name} : ${ls11.statusReport(status)}\n`), name);
  const closed = ls11.open(sample);
  closed.close();
  const failures = [
    { status: ls11.ERR_FORMAT, call: () => ls11.open(new Uint8Array(100)) },
    { status: ls11.ERR_FORMAT, call: () => ls11.open(sample.subarray(0, sample.length - 1)) },
    { status: ls11.ERR_CORRUPT, call: () => ls11.open(damaged).read(last.index) },
    { status: ls11.ERR_CORRUPT, call: () => ls11.open(damaged).readAll() },
    { status: ls11.ERR_CORRUPT, call: () => ls11.replace(damaged, { 0: new Uint8Array(3) }) },
    { status: ls11.ERR_CORRUPT, call: () => ls11.decodeBlock(new Uint8Array(4), archive.dictionary, 100) },
    { status: ls11.ERR_NO_MEMORY, call: () => ls11.decodeBlock(new Uint8Array(4), archive.dictionary, 0xffffffff) },
    // Claims of 2 GiB and more that do not decode, as unls11 finds them.
    { status: ls11.ERR_CORRUPT, call: () => ls11.open(claiming(claimingFile([0x1000]), 0, 0x80000000)).read(0) },
    { status: ls11.ERR_CORRUPT, call: () => ls11.open(claiming(claimingFile([9, 0x1000]), 1, 0xf0000000)).readAll() },
    // Totals past 32 bits, refused before anything is allocated.
    { status: ls11.ERR_NO_MEMORY, call: () => ls11.open(claimingFile([0xffffff00, 0x200])).readAll() },
    { status: ls11.ERR_ARGUMENT, call: () => closed.read(0) },
  ];
  for (const { status, call } of failures) {
    assert.throws(call, (error) => error instanceof ls11.LS11Error && error.status === status &&
                                  error.message.includes(ls11.statusString(status)), String(call));
    assert.deepEqual(archive.readAll(), new Uint8Array(readFileSync(sampleFiles[0].replace(/LS11$/, "expected"))),
                     `still reads after ${call}`);
  }
  archive.close();
  const small = ls11.open(claimingFile([0x1000, 0x200]));
  assert.deepEqual(small.readAll(), new Uint8Array(0x1200), "a run repeated from one literal");
});

test("reasons: why a file does not open or an entry does not decode", () => {
  const sample = new Uint8Array(readFileSync(sampleFiles[0]));
  const n = sample.length;
  const count = (new DataView(sample.buffer, sample.byteOffset).getUint32(280) - 276) / 12;
  const word = (at, value) => {
    const changed = Uint8Array.from(sample);
    new DataView(changed.buffer).setUint32(at, value);
    return changed;
  };
  const entries = ls11.open(sample).entries;
  const last = entries.at(-1);
  const compressed = entries.find((e) => !e.stored);
  const garbled = Uint8Array.from(sample).fill(0xff, compressed.dataOffset, compressed.dataOffset + compressed.packedSize);
  const cases = [
    { file: new Uint8Array(0), status: ls11.ERR_FORMAT, reason: ls11.REASON_EMPTY, found: 0, expected: 0 },
    { file: sample.subarray(0, 4), status: ls11.ERR_FORMAT, reason: ls11.REASON_SHORT_HEADER, found: 4, expected: 16 },
    { file: Uint8Array.of(0x4c, 0x53, 0x31, 0x33, ...sample.subarray(4)), status: ls11.ERR_FORMAT,
      reason: ls11.REASON_UNKNOWN_KIND, found: 0x4c533133, expected: 0 },
    { file: Uint8Array.from(sample).fill(1, 9, 10), status: ls11.ERR_FORMAT, reason: ls11.REASON_HEADER_PADDING,
      found: 9, expected: 0 },
    { file: Uint8Array.of(...sample.subarray(0, 16), ...new Uint8Array(100)), status: ls11.ERR_FORMAT,
      reason: ls11.REASON_NO_TABLE, found: 116, expected: 284 },
    { file: word(280, 100), status: ls11.ERR_FORMAT, reason: ls11.REASON_FIRST_OFFSET, found: 100, expected: 288 },
    { file: word(280, 276 + 12 * 100), status: ls11.ERR_FORMAT, reason: ls11.REASON_TABLE_CUT, found: n,
      expected: 276 + 12 * 100 },
    { file: Uint8Array.of(...sample, 0), status: ls11.ERR_FORMAT, reason: ls11.REASON_LENGTH_MISMATCH,
      found: n + 1, expected: n },
    { file: word(272 + 12 * (count - 1) + 8, n - 1), status: ls11.ERR_CORRUPT, reason: ls11.REASON_BLOCK_OUTSIDE,
      entry: last.index, found: n, expected: n - 1 + last.packedSize },
    { file: garbled, status: ls11.ERR_CORRUPT, reason: ls11.REASON_BLOCK_CORRUPT, entry: compressed.index,
      found: 0, expected: 0 },
  ];
  for (const { file, status, reason, entry = null, found, expected } of cases) {
    const calls = [() => ls11.open(file).readAll()];
    if (entry !== null) {
      calls.push(() => ls11.open(file).read(entry),
                 () => ls11.replace(file, { [(entry + 1) % count]: new Uint8Array(1) }));
    }
    for (const call of calls) {
      assert.throws(call, (error) => {
        assert.deepEqual([error.status, error.reason, error.entry, error.found, error.expected],
                         [status, reason, entry, found, expected], `${ls11.statusString(status)} ${String(call)}`);
        return error instanceof ls11.LS11Error;
      });
    }
  }
});

test("wrong types and values out of range", () => {
  const archive = ls11.open(readFileSync(sampleFiles[0]));
  const bytes = new Uint8Array(4);
  const wrong = [
    { error: TypeError, call: () => ls11.open("file.LS11") },
    { error: TypeError, call: () => ls11.pack(bytes) },
    { error: TypeError, call: () => ls11.pack(null) },
    { error: TypeError, call: () => ls11.pack([bytes, "text"]) },
    { error: TypeError, call: () => ls11.pack([bytes], { level: 2 }) },
    { error: TypeError, call: () => ls11.pack([bytes], { format: "11" }) },
    { error: TypeError, call: () => ls11.replace(archive, { 0: "text" }) },
    { error: TypeError, call: () => ls11.replace(archive, 5) },
    { error: TypeError, call: () => ls11.replace(archive, null) },
    { error: TypeError, call: () => archive.read("0") },
    { error: TypeError, call: () => ls11.decodeBlock(bytes, archive.dictionary, "4") },
    { error: TypeError, call: () => ls11.statusString("4") },
    { error: TypeError, call: () => ls11.statusReport(4.5) },
    { error: RangeError, call: () => ls11.pack([bytes], { format: 13 }) },
    { error: RangeError, call: () => ls11.pack([bytes], { format: 2 ** 32 + 11 }) },
    { error: RangeError, call: () => ls11.pack([bytes], { level: "smallest" }) },
    { error: RangeError, call: () => ls11.replace(archive, { [archive.entries.length]: bytes }) },
    { error: RangeError, call: () => ls11.replace(archive, new Map([[-1, bytes]])) },
    { error: RangeError, call: () => ls11.replace(archive, new Map([[1, bytes], ["1", bytes]])) },
    { error: RangeError, call: () => ls11.pack([]) },
    { error: TypeError, call: () => archive.readInto(0, []) },
    { error: RangeError, call: () => archive.readInto(0, new Uint8Array(archive.entries[0].unpackedSize - 1)) },
    { error: RangeError, call: () => archive.readAll(new Uint8Array(1)) },
    { error: RangeError, call: () => archive.read(archive.entries.length) },
    { error: RangeError, call: () => archive.read(-1) },
    { error: RangeError, call: () => ls11.decodeBlock(bytes, new Uint8Array(255), 4) },
    { error: RangeError, call: () => ls11.decodeBlock(bytes, archive.dictionary, -1) },
  ];
  for (const { error, call } of wrong) assert.throws(call, error, String(call));
  archive.close();
});

test("package: npm pack makes ls11kit with the module, its declarations and package.json", () => {
  const folder = dirname(process.env.LS11_JS);
  const [packed] = JSON.parse(execFileSync("npm", ["pack", "--dry-run", "--json"], { cwd: folder, stdio: ["ignore", "pipe", "ignore"] }));
  assert.equal(packed.name, "ls11kit");
  assert.equal(packed.version.split(".").slice(0, 2).join("."), ls11.version.split(".").slice(0, 2).join("."));
  assert.deepEqual(packed.files.map((file) => file.path).sort(), ["ls11.d.ts", "ls11.js", "package.json"]);
  const manifest = JSON.parse(readFileSync(join(folder, "package.json"), "utf8"));
  assert.equal(manifest.type, "module");
  assert.equal(manifest.exports["."].types, "./ls11.d.ts");
  const declared = [...readFileSync(join(folder, "ls11.d.ts"), "utf8").matchAll(/^export (?:const|function|class) (\w+)/gm)]
    .map(([, name]) => name).sort();
  assert.deepEqual(declared, Object.keys(ls11).sort());
});

test("archives dropped without close() are freed", () => {
  // 300 archives of 1 MiB, never closed: without the module freeing them
  // once they are garbage, its memory would grow by 300 MiB.
  const script = `
    const ls11 = await import(process.env.LS11_URL);
    const file = ls11.pack([new Uint8Array(1 << 20).map((_, i) => i * 7919 >> 3)], { level: "store" });
    const before = process.memoryUsage().rss;
    for (let i = 0; i < 300; ++i) {
      ls11.open(file);
      if (i % 25 === 24) { gc(); await new Promise((done) => setTimeout(done, 0)); }
    }
    console.log(process.memoryUsage().rss - before);`;
  const growth = Number(execFileSync(process.execPath, ["--expose-gc", "--input-type=module", "-e", script],
                                     { env: { ...process.env, LS11_URL: pathToFileURL(process.env.LS11_JS).href } }));
  assert.ok(growth < 100 << 20, `${growth >> 20} MiB more`);
});

test("random views and sizes: every byte through the module's copies, large results included", () => {
  const next = random(24);
  const views = [
    (bytes) => bytes,
    (bytes) => bytes.slice().buffer,
    (bytes) => new DataView(Uint8Array.of(1, ...bytes, 2).buffer, 1, bytes.length),
    (bytes) => new Uint8Array(Uint8Array.of(0, 0, 0, ...bytes).buffer, 3),
  ];
  for (let round = 0; round < 30; ++round) {
    const entries = Array.from({ length: 1 + (next() % 5) }, () =>
      Uint8Array.from({ length: [0, 1, 255, 4096, next() % 70000][next() % 5] }, () => next() & 0xff));
    const archive = ls11.open(views[next() % views.length](
      ls11.pack(entries.map((e) => views[next() % views.length](e)), { level: next() % 2 ? "store" : "fast" })));
    const whole = Uint8Array.from(entries.flatMap((e) => [...e]));
    assert.deepEqual(archive.readAll(), whole);
    const target = new Uint8Array(whole.length + (next() % 9));
    assert.equal(archive.readAll(target), whole.length);
    assert.deepEqual(target.subarray(0, whole.length), whole);
    const index = next() % entries.length;
    assert.equal(archive.readInto(index, target), entries[index].length);
    assert.deepEqual(target.subarray(0, entries[index].length), entries[index]);
    archive.close();
  }
  // Past 64 MiB a result is decoded in an instance of its own.
  const large = ls11.open(claimingFile([0x4000001, 7]));
  const zeros = (n) => new Uint8Array(n);
  assert.deepEqual(large.read(0), zeros(0x4000001));
  assert.deepEqual(large.readAll(), zeros(0x4000008));
  const block = claimingFile([0x4000001]).subarray(288);
  assert.deepEqual(ls11.decodeBlock(block, large.dictionary, 0x4000001), zeros(0x4000001));
  assert.deepEqual(large.read(1), zeros(7));
  large.close();
});
