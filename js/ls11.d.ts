// ls11kit: libls11 compiled to WebAssembly. Every call is synchronous.

/** The library's version, e.g. "1.0.0". */
export const version: string;

/** Statuses, with the C API's numbers. */
export const OK: 0;
export const ERR_OPEN: 1;
export const ERR_WRITE: 2;
export const ERR_FORMAT: 3;
export const ERR_CORRUPT: 4;
export const ERR_NO_MEMORY: 5;
export const ERR_ARGUMENT: 6;
export const ERR_TOO_LARGE: 7;

/** A short English description of a status. */
export function statusString(status: number): string;

/** What a library failure throws; `status` is one of the ERR_ constants. */
export class LS11Error extends Error {
  readonly status: number;
}

export type Bytes = Uint8Array | ArrayBuffer;

export interface Entry {
  index: number;
  packedSize: number;
  unpackedSize: number;
  /** Where the entry's packed bytes start in the file. */
  dataOffset: number;
  /** True when the block is stored as it is (its two sizes are equal). */
  stored: boolean;
}

/** An open LS11 file. The bytes given to open() are copied. */
export class Archive {
  /** 10, 11 or 12. */
  readonly format: number;
  /** The file's 256-byte dictionary. */
  readonly dictionary: Uint8Array;
  readonly entries: Entry[];
  /** One entry's decoded bytes. */
  read(index: number): Uint8Array;
  /** The whole decoded file: the bytes unls11 writes. */
  readAll(): Uint8Array;
  /** Frees the archive's memory; later reads throw LS11Error. */
  close(): void;
}

/** Opens a whole LS11 file held in memory. */
export function open(data: Bytes): Archive;

export interface PackOptions {
  /** Header version: 10, 11 (default) or 12. */
  format?: 10 | 11 | 12;
  /** "store" (every block as it is), "fast", or "best" (default, the smallest file). */
  level?: "store" | "fast" | "best";
}

/** Builds an LS11 file in which entry i holds entries[i]. */
export function pack(entries: Iterable<Bytes>, options?: PackOptions): Uint8Array;

/** A copy of `source` in which the named entries hold the given bytes; every
 *  other entry's packed bytes stay as they are. */
export function replace(source: Archive | Bytes,
                        replacements: Map<number, Bytes> | Record<number, Bytes>): Uint8Array;

/** Decodes one compressed block with a file's dictionary. */
export function decodeBlock(packed: Bytes, dictionary: Bytes, unpackedSize: number): Uint8Array;
