// A TypeScript program written against ls11.d.ts, compiled by tsc --strict
// beside ls11.js and then run: every declared use works as declared, and
// every line marked @ts-expect-error, which the declarations refuse, the
// module refuses as well (were one to compile, tsc fails on the marker).
import * as ls11 from "./ls11.js";

function same(got: unknown, wanted: unknown, what: string): void {
  if (got !== wanted) throw new Error(`${what}: ${String(got)}, not ${String(wanted)}`);
}

function refused(call: () => unknown, kind: ErrorConstructor, what: string): void {
  try {
    call();
  } catch (error) {
    if (error instanceof kind) return;
    throw new Error(`${what}: threw ${String(error)}, not a ${kind.name}`);
  }
  throw new Error(`${what}: accepted`);
}

const packed: Uint8Array = ls11.pack([Uint8Array.of(1, 2, 3), new TextEncoder().encode("hello")],
                                     { format: 12, level: "fast" });
const archive: ls11.Archive = new ls11.Archive(packed.buffer);
const entry: ls11.Entry = archive.entries[1];
same(archive.format, 12, "format");
same(entry.unpackedSize, 5, "entry 1's size");
const target = new Uint8Array(16);
same(archive.readInto(1, target), 5, "readInto");
same(new TextDecoder().decode(target.subarray(0, 5)), "hello", "readInto's bytes");
const total: number = archive.readAll(target);
const whole: Uint8Array = archive.readAll();
same(total, whole.length, "readAll into a target");
const error: ls11.LS11Error = new ls11.LS11Error(ls11.ERR_CORRUPT, "entry 1");
same(error.status, ls11.ERR_CORRUPT, "LS11Error's status");
same(ls11.statusString(ls11.OK), "success", "statusString");
same(ls11.statusReport(ls11.ERR_CORRUPT), "Failed to decode the file!", "statusReport");

// @ts-expect-error an archive needs the file's bytes
refused(() => new ls11.Archive(), TypeError, "Archive()");
// @ts-expect-error a status is a number
refused(() => new ls11.LS11Error("message"), TypeError, "LS11Error(text)");
// @ts-expect-error an entry's fields are read-only
refused(() => { archive.entries[1].unpackedSize = 64; }, TypeError, "writing an entry's size");
// @ts-expect-error so is the table
refused(() => archive.entries.push(entry), TypeError, "adding an entry");
// @ts-expect-error and the archive's fields
refused(() => { archive.format = 10; }, TypeError, "writing the format");
// @ts-expect-error an error's status is read-only
refused(() => { error.status = ls11.OK; }, TypeError, "writing an error's status");
// @ts-expect-error a level is one of three words
refused(() => ls11.pack([packed], { level: "smallest" }), RangeError, "an unknown level");
// @ts-expect-error readInto needs a Uint8Array
refused(() => archive.readInto(0, new ArrayBuffer(8)), TypeError, "readInto an ArrayBuffer");
archive.close();
