// The page's worker: every call into the library runs here, so that the page
// never waits on it. Each request is {id, op, ...}; each answer {id, result}
// or {id, error}, with {progress} messages between them for long work.
import * as ls11 from "ls11kit";
import { makeZip } from "./zip.js";
import { entryName } from "./names.js";

// The page's file id -> {file (a File), original (its bytes, while they are
// needed), archive (open on the current bytes, while in use), changes}.
const files = new Map();

// A table needs only the file's header and entry table: a prefix of this
// size holds them for all but files of thousands of entries.
const PREFIX = 64 * 1024;

// Files the library does not take for LS11 files at all, rather than for
// damaged ones.
const NOT_LS11 = new Set([ls11.REASON_EMPTY, ls11.REASON_SHORT_HEADER, ls11.REASON_UNKNOWN_KIND]);

// What the library says about a failure, for the page: unls11's words and
// status number, and why in the library's plain words (the sentence
// LS11Error's message carries after the status's description).
function failureOf(error) {
  // A file the browser cannot read (gone or changed since it was chosen)
  // is one unls11 cannot open; one too large for the page's memory, one
  // it has no memory for.
  if (error instanceof DOMException || error instanceof RangeError) {
    const status = error instanceof DOMException ? ls11.ERR_OPEN : ls11.ERR_NO_MEMORY;
    return { status, ok: false, words: ls11.statusReport(status), detail: error.message, notLs11: false };
  }
  if (!(error instanceof ls11.LS11Error)) throw error;
  const described = `${ls11.statusString(error.status)} (`;
  const at = error.message.indexOf(described);
  return {
    status: error.status,
    ok: false,
    words: ls11.statusReport(error.status),
    detail: at >= 0 && error.message.endsWith(")") ? error.message.slice(at + described.length, -1) : error.message,
    entry: error.entry ?? undefined,
    notLs11: NOT_LS11.has(error.reason),
  };
}

// The file's table, from its first bytes where they hold it. The library
// judges a table by the file's length, so the prefix stands in a zeroed
// buffer of that length; whenever that does not open, or entry 0's data
// (which follows the table) lies past the prefix, the whole file decides.
async function readTable(file) {
  if (file.size > PREFIX) {
    try {
      const bytes = new Uint8Array(file.size);
      bytes.set(new Uint8Array(await file.slice(0, PREFIX).arrayBuffer()));
      const archive = ls11.open(bytes);
      archive.close();
      if (archive.entries.length === 0 || archive.entries[0].dataOffset <= PREFIX) return archive;
    } catch {
      // the whole file below says why
    }
  }
  const archive = ls11.open(new Uint8Array(await file.arrayBuffer()));
  archive.close();
  return archive;
}

// A table as columns of numbers, which reach the page without a copy and
// without an object per entry.
function tableOf(archive) {
  const count = archive.entries.length;
  const table = { format: archive.format, count, offset: new Uint32Array(count), packed: new Uint32Array(count),
                  unpacked: new Uint32Array(count), stored: new Uint8Array(count) };
  for (const [i, entry] of archive.entries.entries()) {
    table.offset[i] = entry.dataOffset;
    table.packed[i] = entry.packedSize;
    table.unpacked[i] = entry.unpackedSize;
    table.stored[i] = entry.stored ? 1 : 0;
  }
  return table;
}

// Decodes every entry as unls11 does; the file's status is its first
// failure's, and every failing entry is named with its status.
function check(archive) {
  const bad = [];
  let first = null;
  for (const { index } of archive.entries) {
    try {
      archive.read(index);
    } catch (error) {
      const failure = failureOf(error);
      bad.push([index, failure.status]);
      first ??= { ...failure, entry: index };
    }
  }
  // entryOk: the status of an entry that decodes, for the rows.
  return { ...(first ?? { status: ls11.OK, ok: true, words: ls11.statusReport(ls11.OK) }), bad, entryOk: ls11.OK };
}

// The files open in the library, most recently used last: a folder's worth
// of files is read once for its check and then left on disk, but for the
// few in use and those with changes, which need their bytes.
const KEPT_OPEN = 4;
let inUse = [];

function release(id) {
  const state = files.get(id);
  if (!state?.archive || state.changes.length > 0) return;
  state.archive.close();
  state.archive = null;
  state.original = null;
  state.current = null;
}

async function archiveOf(id) {
  const state = files.get(id);
  if (!state) throw new Error("that file is closed");
  inUse = [...inUse.filter((other) => other !== id), id];
  if (!state.archive) {
    const bytes = state.original ?? new Uint8Array(await state.file.arrayBuffer());
    if (!files.has(id)) throw new Error("that file is closed");
    state.original = bytes;
    state.archive = ls11.open(bytes);
  }
  for (const other of inUse.slice(0, -KEPT_OPEN)) release(other);
  inUse = inUse.slice(-KEPT_OPEN);
  return state.archive;
}

// Tables first, from each file's first bytes, so that the page can draw
// them all at once; then every file is read whole and checked. A file closed
// meanwhile is dropped wherever the loop is.
async function openFiles({ files: list }, progress) {
  for (const { id, file } of list) files.set(id, { file, changes: [] });
  const opened = [];
  for (const { id, file } of list) {
    if (!files.has(id)) continue;
    try {
      const archive = await readTable(file);
      const table = tableOf(archive);
      progress({ opened: { id, ...table } }, transferables(table));
      opened.push(id);
    } catch (error) {
      if (!files.has(id)) continue;
      const failed = failureOf(error);
      progress({ opened: { id, failed } });
      // A damaged file keeps its line, and its File, to be told apart from
      // the same file opened again; one that is not LS11 leaves the page.
      if (failed.notLs11) files.delete(id);
    }
  }
  for (const [done, id] of opened.entries()) {
    if (!files.has(id)) continue;
    let result;
    try {
      result = check(await archiveOf(id));
    } catch (error) {
      if (!files.has(id)) continue;
      result = { ...failureOf(error), bad: [], entryOk: ls11.OK };
    }
    if (files.has(id)) progress({ checked: { id, ...result }, done: done + 1, total: opened.length });
  }
  return null;
}

// The current bytes: the original with every change still kept, the latest
// one for each entry.
function rebuild(state) {
  const latest = new Map(state.changes.map(({ index, bytes }) => [index, bytes]));
  const source = ls11.open(state.original);
  try {
    return latest.size === 0 ? state.original : ls11.replace(source, latest);
  } finally {
    source.close();
  }
}

async function applyChanges(id) {
  await archiveOf(id);
  const state = files.get(id);
  const bytes = rebuild(state);
  const archive = ls11.open(bytes);
  state.archive.close();
  state.archive = archive;
  state.current = bytes;
  return { ...tableOf(archive), check: check(archive),
           changes: state.changes.map(({ key, index, label }) => ({ key, index, label })) };
}

let nextChange = 1;

// Entries of `archive` as zip members, and those that do not decode.
function members(archive, name, progress, prefix = "") {
  const list = [];
  const failed = [];
  for (const { index } of archive.entries) {
    if (index % 1024 === 0) progress?.({ done: index, total: archive.entries.length });
    try {
      list.push({ name: prefix + entryName(name, index), data: archive.read(index) });
    } catch (error) {
      failed.push({ index, ...failureOf(error) });
    }
  }
  return { list, failed };
}

// Files are compared a piece at a time, so that two large ones never sit
// in memory whole, and different ones stop at their first difference.
const COMPARED = 8 * 2 ** 20;

const bytesOf = async (blob) => new Uint8Array(await blob.arrayBuffer());

function equal(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
  return true;
}

// Whether `other` (a File) holds the bytes `file` was opened with. A file
// the browser cannot read any more (changed or gone since) holds none.
async function sameBytes({ file, other }) {
  const state = files.get(file);
  if (!state || state.file.size !== other.size) return false;
  try {
    for (let at = 0; at < other.size; at += COMPARED) {
      const [mine, theirs] = await Promise.all([
        state.original ? state.original.subarray(at, at + COMPARED) : bytesOf(state.file.slice(at, at + COMPARED)),
        bytesOf(other.slice(at, at + COMPARED))]);
      if (!equal(mine, theirs)) return false;
    }
    return true;
  } catch (error) {
    if (error instanceof DOMException) return false;
    throw error;
  }
}

const operations = {
  open: openFiles,
  same: sameBytes,
  read: async ({ file, index }) => (await archiveOf(file)).read(index),
  // unls11's decoded file: every entry in order, up to the first that does
  // not decode, which it names.
  decoded: async ({ file }) => {
    const archive = await archiveOf(file);
    const parts = [];
    for (const { index } of archive.entries) {
      try {
        parts.push(archive.read(index));
      } catch (error) {
        return { partial: concat(parts), failed: { index, ...failureOf(error) } };
      }
    }
    return { partial: concat(parts), failed: null };
  },
  zip: async ({ file, name }, progress) => {
    const { list, failed } = members(await archiveOf(file), name, progress);
    return { zip: makeZip(list), failed };
  },
  // Every changed file's current bytes, under its path.
  changedZip: async ({ list }) => makeZip(await Promise.all(list.map(async ({ file, path }) => {
    await archiveOf(file);
    return { name: path, data: files.get(file).current.slice() };
  }))),
  current: async ({ file }) => {
    await archiveOf(file);
    const state = files.get(file);
    return (state.current ?? state.original).slice();
  },
  change: async ({ file, index, buffer, label }) => {
    await archiveOf(file);
    files.get(file).changes.push({ key: nextChange++, index, label, bytes: new Uint8Array(buffer) });
    try {
      return await applyChanges(file);
    } catch (error) {
      files.get(file).changes.pop();
      throw error;
    }
  },
  undo: async ({ file, key }) => {
    await archiveOf(file);
    const state = files.get(file);
    state.changes = state.changes.filter((change) => change.key !== key);
    return applyChanges(file);
  },
  pack: ({ buffers, format, level }) => ls11.pack(buffers.map((buffer) => new Uint8Array(buffer)),
                                                  { format, level }),
  close: ({ file }) => {
    files.get(file)?.archive?.close();
    files.delete(file);
    inUse = inUse.filter((other) => other !== file);
    return null;
  },
};

function concat(parts) {
  const out = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) {
    out.set(part, at);
    at += part.length;
  }
  return out;
}

// The buffers of an answer's byte arrays (at its top, in a list, or in a
// field), handed over rather than copied.
function transferables(result) {
  if (result instanceof Uint8Array) return [result.buffer];
  if (Array.isArray(result)) return result.flatMap(transferables);
  if (result === null || typeof result !== "object") return [];
  return Object.values(result).flatMap((value) => (value instanceof Uint8Array || Array.isArray(value)
    ? transferables(value) : []));
}

self.onmessage = async ({ data: { id, op, ...request } }) => {
  const progress = (state, transfer = []) => self.postMessage({ id, progress: state }, transfer);
  try {
    const result = await operations[op](request, progress);
    self.postMessage({ id, result }, transferables(result));
  } catch (error) {
    self.postMessage({ id, error: error instanceof ls11.LS11Error ? failureOf(error)
                                                                    : { words: String(error.message ?? error) } });
  }
};
self.postMessage({ ready: ls11.version });
