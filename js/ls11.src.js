// ls11kit: libls11, compiled to WebAssembly, as an ES module. The module's
// bytes are inside this file, so it loads from a file:// page, a worker or
// Node alike; once imported, every call is synchronous.
const WASM_BASE64 = "@LS11_WASM_BASE64@";

function decodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

const wasmModule = await WebAssembly.compile(decodeBase64(WASM_BASE64));
// The library touches no file here: every system call the C library links
// answers "not supported" (WASI's ENOSYS), and an exit stops the call.
const ENOSYS = 52;
const wasi = {};
for (const { module, name } of WebAssembly.Module.imports(wasmModule)) {
  if (module !== "wasi_snapshot_preview1") continue;
  wasi[name] = name === "proc_exit"
    ? (code) => { throw new Error(`ls11: the library stopped (exit ${code})`); }
    : () => ENOSYS;
}
const { exports: c } = await WebAssembly.instantiate(wasmModule, { wasi_snapshot_preview1: wasi });
c._initialize();

const heap = () => new Uint8Array(c.memory.buffer);
const view = () => new DataView(c.memory.buffer);

function cString(pointer) {
  const bytes = heap();
  let end = pointer;
  while (bytes[end] !== 0) ++end;
  return new TextDecoder().decode(bytes.subarray(pointer, end));
}

export const OK = 0;
export const ERR_OPEN = 1;
export const ERR_WRITE = 2;
export const ERR_FORMAT = 3;
export const ERR_CORRUPT = 4;
export const ERR_NO_MEMORY = 5;
export const ERR_ARGUMENT = 6;
export const ERR_TOO_LARGE = 7;

export const version = cString(c.ls11_version_string());

export function statusString(status) {
  if (!Number.isInteger(status)) throw new TypeError("status must be an integer");
  return cString(c.ls11_status_string(status | 0));
}

export class LS11Error extends Error {
  constructor(status, what) {
    super(`${what}: ${statusString(status)}`);
    this.name = "LS11Error";
    this.status = status;
  }
}

function check(status, what) {
  if (status !== OK) throw new LS11Error(status, what);
}

function toBytes(data, what) {
  if (data instanceof Uint8Array) return data;
  if (data instanceof ArrayBuffer) return new Uint8Array(data);
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  throw new TypeError(`${what} must be a Uint8Array or an ArrayBuffer`);
}

function allocate(size) {
  const pointer = c.malloc(Math.max(size, 1));
  if (pointer === 0) throw new LS11Error(ERR_NO_MEMORY, "allocate");
  return pointer;
}

function copyIn(bytes) {
  const pointer = allocate(bytes.length);
  heap().set(bytes, pointer);
  return pointer;
}

// Runs `body` with scratch memory of `size` bytes, freed afterwards.
function withScratch(size, body) {
  const pointer = allocate(size);
  try {
    return body(pointer);
  } finally {
    c.free(pointer);
  }
}

function checkIndex(index, count, what) {
  if (!Number.isInteger(index)) throw new TypeError(`${what} must be an integer`);
  if (index < 0 || index >= count) throw new RangeError(`${what} ${index} is not below ${count}`);
}

// A buffer the library allocated (ls11_pack, ls11_replace), copied out and
// freed; its pointer and size are at `out` and `out + 4`.
function takeOutput(out) {
  const memory = view();
  const pointer = memory.getUint32(out, true);
  const size = memory.getUint32(out + 4, true);
  const bytes = heap().slice(pointer, pointer + size);
  c.ls11_free(pointer);
  return bytes;
}

// The library's archive behind an Archive, for this module's functions
// alone; throws once the archive is closed.
let handleOf;

export class Archive {
  #handle;
  #data;

  static {
    handleOf = (archive) => {
      if (!archive.#handle) throw new LS11Error(ERR_ARGUMENT, "the archive is closed");
      return archive.#handle;
    };
  }

  constructor(data) {
    const bytes = toBytes(data, "data");
    this.#data = copyIn(bytes);
    withScratch(12, (scratch) => {
      const status = c.ls11_open_memory(this.#data, bytes.length, scratch);
      if (status !== OK) {
        c.free(this.#data);
        throw new LS11Error(status, "open");
      }
      this.#handle = view().getUint32(scratch, true);
      this.format = c.ls11_format(this.#handle);
      this.dictionary = heap().slice(c.ls11_dictionary(this.#handle), c.ls11_dictionary(this.#handle) + 256);
      const count = c.ls11_entry_count(this.#handle);
      this.entries = [];
      for (let index = 0; index < count; ++index) {
        check(c.ls11_get_entry(this.#handle, index, scratch), "entry");
        const memory = view();
        const packedSize = memory.getUint32(scratch, true);
        const unpackedSize = memory.getUint32(scratch + 4, true);
        const dataOffset = memory.getUint32(scratch + 8, true);
        this.entries.push({ index, packedSize, unpackedSize, dataOffset, stored: packedSize === unpackedSize });
      }
    });
  }

  read(index) {
    const handle = handleOf(this);
    checkIndex(index, this.entries.length, "entry index");
    const size = this.entries[index].unpackedSize;
    return withScratch(size, (out) => {
      check(c.ls11_read_entry(handle, index, out, size), `entry ${index}`);
      return heap().slice(out, out + size);
    });
  }

  // The whole decoded file: every entry's bytes in table order.
  readAll() {
    const handle = handleOf(this);
    const total = this.entries.reduce((sum, e) => sum + e.unpackedSize, 0);
    return withScratch(total, (out) => {
      let at = out;
      for (const { index, unpackedSize } of this.entries) {
        check(c.ls11_read_entry(handle, index, at, unpackedSize), `entry ${index}`);
        at += unpackedSize;
      }
      return heap().slice(out, out + total);
    });
  }

  close() {
    if (!this.#handle) return;
    c.ls11_close(this.#handle);
    c.free(this.#data);
    this.#handle = 0;
  }
}

export function open(data) {
  return new Archive(data);
}

// Copies every buffer in `list` into the module's memory; `body` gets an
// array of their pointers and one of their sizes (32-bit each), and all is
// freed afterwards.
function withBuffers(list, body) {
  const pointers = [];
  try {
    for (const bytes of list) pointers.push(copyIn(bytes));
    return withScratch(8 * list.length, (table) => {
      const memory = view();
      list.forEach((bytes, i) => {
        memory.setUint32(table + 4 * i, pointers[i], true);
        memory.setUint32(table + 4 * (list.length + i), bytes.length, true);
      });
      return body(table, table + 4 * list.length);
    });
  } finally {
    for (const pointer of pointers) c.free(pointer);
  }
}

const LEVELS = { store: 0, fast: 1, best: 2 };

export function pack(entries, { format = 11, level = "best" } = {}) {
  if (entries === null || typeof entries[Symbol.iterator] !== "function") {
    throw new TypeError("entries must be an array of Uint8Array or ArrayBuffer");
  }
  const list = Array.from(entries, (entry, i) => toBytes(entry, `entry ${i}`));
  if (!Number.isInteger(format)) throw new TypeError("format must be 10, 11 or 12");
  if (format < 10 || format > 12) throw new RangeError(`format ${format} is not 10, 11 or 12`);
  if (typeof level !== "string") throw new TypeError('level must be "store", "fast" or "best"');
  if (!Object.hasOwn(LEVELS, level)) throw new RangeError(`level "${level}" is not "store", "fast" or "best"`);
  return withBuffers(list, (pointers, sizes) => withScratch(8, (out) => {
    check(c.ls11_wasm_pack(pointers, sizes, list.length, format, LEVELS[level], out, out + 4), "pack");
    return takeOutput(out);
  }));
}

export function replace(source, replacements) {
  const archive = source instanceof Archive ? source : new Archive(source);
  try {
    const pairs = replacements instanceof Map ? [...replacements]
      : replacements !== null && typeof replacements === "object" ? Object.entries(replacements)
      : null;
    if (pairs === null) throw new TypeError("replacements must be a Map or an object of index to bytes");
    const indices = pairs.map(([key]) => {
      const index = typeof key === "string" && /^\d+$/.test(key) ? Number(key) : key;
      checkIndex(index, archive.entries.length, "replacement index");
      return index;
    });
    const list = pairs.map(([key, bytes]) => toBytes(bytes, `replacement ${key}`));
    const handle = handleOf(archive);
    return withBuffers(list, (pointers, sizes) => withScratch(8 + 4 * list.length, (out) => {
      const memory = view();
      indices.forEach((index, i) => memory.setUint32(out + 8 + 4 * i, index, true));
      check(c.ls11_wasm_replace(handle, out + 8, pointers, sizes, list.length, out, out + 4), "replace");
      return takeOutput(out);
    }));
  } finally {
    if (archive !== source) archive.close();
  }
}

export function decodeBlock(packed, dictionary, unpackedSize) {
  const input = toBytes(packed, "packed");
  const table = toBytes(dictionary, "dictionary");
  if (table.length !== 256) throw new RangeError(`the dictionary has ${table.length} bytes, not 256`);
  if (!Number.isInteger(unpackedSize)) throw new TypeError("unpackedSize must be an integer");
  if (unpackedSize < 0 || unpackedSize > 0xffffffff) throw new RangeError(`unpackedSize ${unpackedSize} is out of range`);
  return withBuffers([input, table], (pointers) => withScratch(unpackedSize, (out) => {
    const memory = view();
    check(c.ls11_decode_block(memory.getUint32(pointers, true), input.length,
                              memory.getUint32(pointers + 4, true), out, unpackedSize), "decode");
    return heap().slice(out, out + unpackedSize);
  }));
}
