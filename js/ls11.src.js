// ls11kit: libls11, compiled to WebAssembly, as an ES module. The module's
// bytes are inside this file, so it loads from a file:// page, a worker or
// Node alike; once imported, every call is synchronous. build_module.mjs
// writes ls11.js from this file, the module and the statuses and levels
// written from ls11.h (facts.js).
// @ts-check

/** @typedef {Uint8Array | ArrayBufferLike | ArrayBufferView} Bytes */
/** @typedef {Readonly<{ index: number, packedSize: number, unpackedSize: number, dataOffset: number, stored: boolean }>} Entry */
/**
 * The C API as the module exports it (see wasm/CMakeLists.txt). Pointers
 * and sizes are 32 bits; a Number past 2**32 - 1 must never reach one.
 * @typedef {object} Library
 * @property {WebAssembly.Memory} memory
 * @property {() => void} _initialize
 * @property {(size: number) => number} malloc
 * @property {(pointer: number) => void} free
 * @property {() => number} ls11_version_string
 * @property {(status: number) => number} ls11_status_string
 * @property {(status: number) => number} ls11_status_report
 * @property {(packed: number, packedSize: number, dictionary: number, out: number, size: number) => number} ls11_decode_block
 * @property {(data: number, size: number, archive: number) => number} ls11_open_memory
 * @property {(archive: number) => void} ls11_close
 * @property {(archive: number) => number} ls11_format
 * @property {(archive: number) => number} ls11_dictionary
 * @property {(archive: number) => number} ls11_entry_count
 * @property {(archive: number, index: number, entry: number) => number} ls11_get_entry
 * @property {(archive: number, index: number, out: number, capacity: number) => number} ls11_read_entry
 * @property {(pointer: number) => void} ls11_free
 * @property {(entries: number, sizes: number, count: number, format: number, level: number, out: number, outSize: number) => number} ls11_wasm_pack
 * @property {(archive: number, indices: number, data: number, sizes: number, count: number, out: number, outSize: number, reason: number) => number} ls11_wasm_replace
 * @property {(data: number, size: number, archive: number, reason: number) => number} ls11_open_memory_with_reason
 * @property {(reason: number, buffer: number, size: number) => number} ls11_reason_text
 * @property {(archive: number, index: number, reason: number) => void} ls11_wasm_entry_reason
 */

const WASM_BASE64 = "@LS11_WASM_BASE64@";

/** @param {string} text */
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
/** @type {Record<string, Function>} */
const wasi = {};
for (const { module, name } of WebAssembly.Module.imports(wasmModule)) {
  if (module !== "wasi_snapshot_preview1") continue;
  wasi[name] = name === "proc_exit"
    ? (/** @type {number} */ code) => { throw new Error(`ls11: the library stopped (exit ${code})`); }
    : () => ENOSYS;
}
/** @param {WebAssembly.Instance} instance */
function started(instance) {
  const library = /** @type {Library} */ (/** @type {unknown} */ (instance.exports));
  library._initialize();
  return library;
}
const c = started(await WebAssembly.instantiate(wasmModule, { wasi_snapshot_preview1: wasi }));

const heap = () => new Uint8Array(c.memory.buffer);
const view = () => new DataView(c.memory.buffer);

/** @param {number} pointer */
function cString(pointer) {
  const bytes = heap();
  let end = pointer;
  while (bytes[end] !== 0) ++end;
  return new TextDecoder().decode(bytes.subarray(pointer, end));
}

/* @LS11_FACTS@ */

export const version = cString(c.ls11_version_string());

// The most one allocation in the module's 32-bit memory can hold; a size
// past it is refused before anything is allocated, as the library refuses
// what it cannot allocate.
const LARGEST_ALLOCATION = 2 ** 31 - 1;
// Results of this size and more are decoded in a fresh instance of the
// module, dropped afterwards: a WebAssembly memory never shrinks, so a
// block that claims gigabytes and fails would otherwise leave this one
// grown for good. Its memory is grown once for the result, which also
// takes it past the 2 GiB the allocator can ask for at a time.
const LARGE_RESULT = 64 * 2 ** 20;
const PAGE = 65536;

/**
 * A status as the library's C calls take it, a C int.
 * @param {number} status
 */
function asInt(status) {
  if (!Number.isInteger(status)) throw new TypeError("status must be an integer");
  // A number past a C int is no status (nor is -1): never the one it wraps to.
  return status >= -(2 ** 31) && status < 2 ** 31 ? status : -1;
}

/** @param {number} status */
export function statusString(status) {
  return cString(c.ls11_status_string(asInt(status)));
}

/** @param {number} status */
export function statusReport(status) {
  return cString(c.ls11_status_report(asInt(status)));
}

const FAILURE_FIELDS = ["status", "reason", "entry", "found", "expected"];

export class LS11Error extends Error {
  /**
   * @param {number} status
   * @param {string} [what]
   */
  constructor(status, what) {
    const description = statusString(status);
    super(what === undefined ? description : `${what}: ${description}`);
    this.name = "LS11Error";
    /** @readonly */
    this.status = status;
    /** Why, in more detail: one of the REASON_ constants. @type {number} */
    this.reason = REASON_NONE;
    /** The entry concerned, or null. @type {number | null} */
    this.entry = null;
    /** The numbers the reason names. */
    this.found = 0;
    this.expected = 0;
    // Read-only, as declared; failure() alone fills in the reason.
    for (const field of FAILURE_FIELDS) Object.defineProperty(this, field, { writable: false });
  }
}

// Where a call that may fail leaves its reason: the C library's
// ls11_reason, whose layout glue.c pins.
const REASON_SIZE = 32;
const NO_ENTRY = 0xffffffff;

/**
 * LS11Error for status with the reason the library left at `reason` in
 * `library`'s memory, its sentence added to the message.
 * @param {number} status
 * @param {string} what
 * @param {Library} library
 * @param {number} reason
 */
function failure(status, what, library, reason) {
  const error = new LS11Error(status, what);
  const memory = new DataView(library.memory.buffer);
  const entry = memory.getUint32(reason + 4, true);
  const fields = {
    reason: memory.getInt32(reason, true),
    entry: entry === NO_ENTRY ? null : entry,
    found: Number(memory.getBigUint64(reason + 8, true)),
    expected: Number(memory.getBigUint64(reason + 16, true)),
  };
  for (const [field, value] of Object.entries(fields)) Object.defineProperty(error, field, { value });
  const text = library.malloc(256);
  if (text !== 0 && error.reason !== REASON_NONE) {
    library.ls11_reason_text(reason, text, 256);
    const bytes = new Uint8Array(library.memory.buffer, text, 256);
    const why = new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
    if (why !== statusString(status)) error.message += ` (${why})`;
  }
  library.free(text);
  return error;
}

/**
 * @param {number} status
 * @param {string} what
 */
function check(status, what) {
  if (status !== OK) throw new LS11Error(status, what);
}

/**
 * @param {unknown} data
 * @param {string} what
 * @returns {Uint8Array}
 */
function toBytes(data, what) {
  if (data instanceof Uint8Array) return data;
  if (data instanceof ArrayBuffer || (typeof SharedArrayBuffer === "function" && data instanceof SharedArrayBuffer)) {
    return new Uint8Array(data);
  }
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  throw new TypeError(`${what} must be a Uint8Array or an ArrayBuffer`);
}

/**
 * @param {number} size
 * @param {string} what
 */
function allocate(size, what) {
  const pointer = size > LARGEST_ALLOCATION ? 0 : c.malloc(Math.max(size, 1));
  if (pointer === 0) throw new LS11Error(ERR_NO_MEMORY, what);
  return pointer;
}

/** @param {Uint8Array} bytes */
function copyIn(bytes) {
  const pointer = allocate(bytes.length, "allocate");
  heap().set(bytes, pointer);
  return pointer;
}

/**
 * Runs `body` with scratch memory of `size` bytes, freed afterwards.
 * @template T
 * @param {number} size
 * @param {(pointer: number) => T} body
 * @param {string} [what]
 * @returns {T}
 */
function withScratch(size, body, what = "allocate") {
  const pointer = allocate(size, what);
  try {
    return body(pointer);
  } finally {
    c.free(pointer);
  }
}

/**
 * @param {unknown} index
 * @param {number} count
 * @param {string} what
 * @returns {asserts index is number}
 */
function checkIndex(index, count, what) {
  if (!Number.isInteger(index)) throw new TypeError(`${what} must be an integer`);
  const number = /** @type {number} */ (index);
  if (number < 0 || number >= count) throw new RangeError(`${what} ${number} is not below ${count}`);
}

/**
 * A caller's array to fill with `size` bytes.
 * @param {unknown} target
 * @param {number} size
 * @param {string} what
 */
function checkTarget(target, size, what) {
  if (!(target instanceof Uint8Array)) throw new TypeError("target must be a Uint8Array");
  if (target.length < size) throw new RangeError(`target holds ${target.length} bytes and ${what} has ${size}`);
}

/**
 * A buffer the library allocated (ls11_pack, ls11_replace), copied out and
 * freed; its pointer and size are at `out` and `out + 4`.
 * @param {number} out
 */
function takeOutput(out) {
  const memory = view();
  const pointer = memory.getUint32(out, true);
  const size = memory.getUint32(out + 4, true);
  const bytes = heap().slice(pointer, pointer + size);
  c.ls11_free(pointer);
  return bytes;
}

/** @typedef {{ handle: number, data: number, size: number }} Held */

/**
 * A fresh instance of the module holding copies of `inputs`, at
 * `pointers`, and `size` bytes for a result at `out`. The inputs are
 * allocated first, since the allocator takes the memory it finds at its
 * first call; the result's pages lie past all it holds, and whatever it
 * allocates later lies past them.
 * @param {Uint8Array[]} inputs
 * @param {number} size
 * @param {string} what
 */
function freshWithRoom(inputs, size, what) {
  /** @type {Library} */
  let library;
  try {
    library = started(new WebAssembly.Instance(wasmModule, { wasi_snapshot_preview1: wasi }));
  } catch (error) {
    // A host that makes no instance at once (a browser's main thread
    // may refuse to): this one serves, as far as its allocator can.
    if (error instanceof RangeError) return null;
    throw error;
  }
  const pointers = inputs.map((bytes) => {
    const pointer = library.malloc(Math.max(bytes.length, 1));
    if (pointer === 0) throw new LS11Error(ERR_NO_MEMORY, what);
    new Uint8Array(library.memory.buffer).set(bytes, pointer);
    return pointer;
  });
  const out = library.memory.buffer.byteLength;
  try {
    if (out + size > 2 ** 32) throw new RangeError("past 4 GiB");
    library.memory.grow(Math.ceil(size / PAGE));
  } catch {
    throw new LS11Error(ERR_NO_MEMORY, what);
  }
  return { library, pointers, out };
}

/**
 * Decodes `indices` of the archive `held` one after another into `total`
 * bytes and hands them to `take`, in this instance or, for a large
 * total, a fresh one that opens its own copy of the file.
 * @template T
 * @param {Held} held
 * @param {number[]} sizes
 * @param {number[]} indices
 * @param {number} total
 * @param {(bytes: Uint8Array) => T} take
 * @param {string} what
 * @returns {T}
 */
function decodeEntries(held, sizes, indices, total, take, what) {
  /**
   * @param {Library} library
   * @param {number} handle
   * @param {number} out
   */
  const decode = (library, handle, out) => {
    let at = out;
    for (const index of indices) {
      const status = library.ls11_read_entry(handle, index, at, sizes[index]);
      if (status !== OK) {
        const reason = library.malloc(REASON_SIZE);
        if (reason === 0) throw new LS11Error(status, `entry ${index}`);
        library.ls11_wasm_entry_reason(handle, index, reason);
        const error = failure(status, `entry ${index}`, library, reason);
        library.free(reason);
        throw error;
      }
      at += sizes[index];
    }
    return take(new Uint8Array(library.memory.buffer, out, total));
  };
  const file = heap().subarray(held.data, held.data + held.size);
  const fresh = total < LARGE_RESULT ? null : freshWithRoom([file, new Uint8Array(4)], total, what);
  if (!fresh) return withScratch(total, (out) => decode(c, held.handle, out), what);
  const { library, pointers: [copy, slot], out } = fresh;
  check(library.ls11_open_memory(copy, held.size, slot), what);
  return decode(library, new DataView(library.memory.buffer).getUint32(slot, true), out);
}

/**
 * What an archive holds in the module's memory, released when the archive
 * is closed or, if it never is, once it is garbage.
 * @param {Held} held
 */
function release(held) {
  c.ls11_close(held.handle);
  c.free(held.data);
}
const dropped = new FinalizationRegistry(release);

/**
 * The library's archive behind an Archive, for this module's functions
 * alone; throws once the archive is closed.
 * @type {(archive: Archive) => number}
 */
let handleOf;

export class Archive {
  /** @type {Held | null} */
  #held = null;
  /** The entries' sizes as the library gave them, which no caller can change. @type {number[]} */
  #sizes = [];

  static {
    handleOf = (archive) => {
      if (!archive.#held) throw new LS11Error(ERR_ARGUMENT, "the archive is closed");
      return archive.#held.handle;
    };
  }

  /** @param {Bytes} data */
  constructor(data) {
    const bytes = toBytes(data, "data");
    const copy = copyIn(bytes);
    /** @type {Held} */
    const held = withScratch(4 + REASON_SIZE, (scratch) => {
      const status = c.ls11_open_memory_with_reason(copy, bytes.length, scratch, scratch + 4);
      if (status !== OK) {
        c.free(copy);
        throw failure(status, "open", c, scratch + 4);
      }
      return { handle: view().getUint32(scratch, true), data: copy, size: bytes.length };
    });
    this.#held = held;
    dropped.register(this, held, this);
    /** @readonly */
    this.format = c.ls11_format(held.handle);
    const dictionary = c.ls11_dictionary(held.handle);
    /** @readonly */
    this.dictionary = heap().slice(dictionary, dictionary + 256);
    /** @type {Entry[]} */
    const entries = [];
    withScratch(12, (scratch) => {
      const count = c.ls11_entry_count(held.handle);
      for (let index = 0; index < count; ++index) {
        check(c.ls11_get_entry(held.handle, index, scratch), "entry");
        const memory = view();
        const packedSize = memory.getUint32(scratch, true);
        const unpackedSize = memory.getUint32(scratch + 4, true);
        const dataOffset = memory.getUint32(scratch + 8, true);
        entries.push(Object.freeze({ index, packedSize, unpackedSize, dataOffset, stored: packedSize === unpackedSize }));
        this.#sizes.push(unpackedSize);
      }
    });
    /** @readonly */
    this.entries = Object.freeze(entries);
    for (const field of ["format", "dictionary", "entries"]) Object.defineProperty(this, field, { writable: false });
  }

  /**
   * Decodes entry `index` and hands its bytes to `take`.
   * @template T
   * @param {unknown} index
   * @param {(bytes: Uint8Array) => T} take
   * @returns {T}
   */
  #decode(index, take) {
    handleOf(this);
    checkIndex(index, this.#sizes.length, "entry index");
    const held = /** @type {Held} */ (this.#held);
    return decodeEntries(held, this.#sizes, [index], this.#sizes[index], take, `entry ${index}`);
  }

  /** @param {number} index */
  read(index) {
    return this.#decode(index, (bytes) => bytes.slice());
  }

  /**
   * Decodes entry `index` into the start of `target`; returns the number of
   * bytes written.
   * @param {number} index
   * @param {Uint8Array} target
   */
  readInto(index, target) {
    checkIndex(index, this.#sizes.length, "entry index");
    checkTarget(target, this.#sizes[index], `entry ${index}`);
    return this.#decode(index, (bytes) => {
      target.set(bytes);
      return bytes.length;
    });
  }

  /**
   * The whole decoded file, every entry's bytes in table order: a new array,
   * or written into the start of `target`, and then the number of bytes.
   * @overload
   * @returns {Uint8Array}
   */
  /**
   * @overload
   * @param {Uint8Array} target
   * @returns {number}
   */
  /**
   * @param {Uint8Array} [target]
   * @returns {Uint8Array | number}
   */
  readAll(target) {
    handleOf(this);
    const held = /** @type {Held} */ (this.#held);
    // Summed as Numbers, exact to 2**53: no total wraps to a small one.
    const total = this.#sizes.reduce((sum, size) => sum + size, 0);
    if (target !== undefined) checkTarget(target, total, "the archive");
    if (total > 2 ** 32 - 1) throw new LS11Error(ERR_NO_MEMORY, "the archive");
    return decodeEntries(held, this.#sizes, this.#sizes.map((_, index) => index), total, (bytes) => {
      if (target === undefined) return bytes.slice();
      target.set(bytes);
      return total;
    }, "the archive");
  }

  close() {
    if (!this.#held) return;
    dropped.unregister(this);
    release(this.#held);
    this.#held = null;
  }
}

/** @param {Bytes} data */
export function open(data) {
  return new Archive(data);
}

/**
 * Copies every buffer in `list` into the module's memory; `body` gets an
 * array of their pointers and one of their sizes (32-bit each), and all is
 * freed afterwards.
 * @template T
 * @param {Uint8Array[]} list
 * @param {(pointers: number, sizes: number) => T} body
 * @returns {T}
 */
function withBuffers(list, body) {
  /** @type {number[]} */
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

/**
 * @param {Iterable<Bytes>} entries
 * @param {{ format?: number, level?: string }} [options]
 */
export function pack(entries, { format = 11, level = "best" } = {}) {
  if (entries === null || typeof entries?.[Symbol.iterator] !== "function") {
    throw new TypeError("entries must be an array of Uint8Array or ArrayBuffer");
  }
  const list = Array.from(entries, (entry, i) => toBytes(entry, `entry ${i}`));
  if (list.length === 0) throw new RangeError("pack needs at least one entry");
  if (!Number.isInteger(format)) throw new TypeError("format must be 10, 11 or 12");
  // Which formats exist is the library's to say; a number past a C int
  // must not wrap to one.
  if (format < -(2 ** 31) || format >= 2 ** 31) throw new RangeError(`format ${format} is out of range`);
  if (typeof level !== "string") throw new TypeError('level must be "store", "fast" or "best"');
  if (!Object.hasOwn(LEVELS, level)) throw new RangeError(`level "${level}" is not "store", "fast" or "best"`);
  const levelNumber = LEVELS[/** @type {keyof typeof LEVELS} */ (level)];
  return withBuffers(list, (pointers, sizes) => withScratch(8, (out) => {
    const status = c.ls11_wasm_pack(pointers, sizes, list.length, format, levelNumber, out, out + 4);
    // Every other argument was checked above.
    if (status === ERR_ARGUMENT) throw new RangeError(`format ${format} is not one libls11 writes`);
    check(status, "pack");
    return takeOutput(out);
  }));
}

/**
 * @param {Archive | Bytes} source
 * @param {Map<number, Bytes> | Record<number, Bytes>} replacements
 */
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
    const twice = indices.find((index, i) => indices.indexOf(index) !== i);
    if (twice !== undefined) throw new RangeError(`replacement index ${twice} is named twice`);
    const list = pairs.map(([key, bytes]) => toBytes(bytes, `replacement ${key}`));
    const handle = handleOf(archive);
    return withBuffers(list, (pointers, sizes) => withScratch(8 + REASON_SIZE + 4 * list.length, (out) => {
      const memory = view();
      const reason = out + 8;
      const indexTable = reason + REASON_SIZE;
      indices.forEach((index, i) => memory.setUint32(indexTable + 4 * i, index, true));
      const status = c.ls11_wasm_replace(handle, indexTable, pointers, sizes, list.length, out, out + 4, reason);
      if (status !== OK) throw failure(status, "replace", c, reason);
      return takeOutput(out);
    }));
  } finally {
    if (archive !== source) archive.close();
  }
}

/**
 * @param {Bytes} packed
 * @param {Bytes} dictionary
 * @param {number} unpackedSize
 */
export function decodeBlock(packed, dictionary, unpackedSize) {
  const input = toBytes(packed, "packed");
  const table = toBytes(dictionary, "dictionary");
  if (table.length !== 256) throw new RangeError(`the dictionary has ${table.length} bytes, not 256`);
  if (!Number.isInteger(unpackedSize)) throw new TypeError("unpackedSize must be an integer");
  if (unpackedSize < 0 || unpackedSize > 0xffffffff) throw new RangeError(`unpackedSize ${unpackedSize} is out of range`);
  const fresh = unpackedSize < LARGE_RESULT ? null : freshWithRoom([input, table], unpackedSize, "decode");
  if (fresh) {
    const { library, pointers: [block, words], out } = fresh;
    check(library.ls11_decode_block(block, input.length, words, out, unpackedSize), "decode");
    return new Uint8Array(library.memory.buffer, out, unpackedSize).slice();
  }
  return withBuffers([input, table], (pointers) => withScratch(unpackedSize, (out) => {
    const memory = view();
    check(c.ls11_decode_block(memory.getUint32(pointers, true), input.length,
                              memory.getUint32(pointers + 4, true), out, unpackedSize), "decode");
    return heap().slice(out, out + unpackedSize);
  }, "decode"));
}
