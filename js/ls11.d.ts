// ls11kit: libls11 compiled to WebAssembly. Every call is synchronous.

/** The library's version: "MAJOR.MINOR", with ".PATCH" when PATCH is not 0. */
export const version: string;

/** Statuses, with the C API's numbers. */
/* @LS11_FACTS@ */

/** A short English description of a status; any integer is accepted. */
export function statusString(status: number): string;

/** unls11's report line for a status ("OK.", "Failed to decode the file!"); any
 *  integer is accepted. */
export function statusReport(status: number): string;

/** What a library failure throws; `status` is one of the ERR_ constants,
 *  `reason` one of the REASON_ constants, which says why in more detail (and
 *  the message in words), with the entry concerned (or null) and the
 *  numbers the reason names. */
export class LS11Error extends Error {
  constructor(status: number, what?: string);
  readonly status: number;
  readonly reason: number;
  readonly entry: number | null;
  readonly found: number;
  readonly expected: number;
}

/** Bytes in any array or buffer; they are copied into the module. */
export type Bytes = Uint8Array | ArrayBufferLike | ArrayBufferView;

export interface Entry {
  readonly index: number;
  readonly packedSize: number;
  readonly unpackedSize: number;
  /** Where the entry's packed bytes start in the file. */
  readonly dataOffset: number;
  /** True when the block is stored as it is (its two sizes are equal). */
  readonly stored: boolean;
}

/** An open LS11 file. The bytes given to it are copied. An archive dropped
 *  without close() is freed once it is garbage. */
export class Archive {
  constructor(data: Bytes);
  /** 10, 11 or 12. */
  readonly format: number;
  /** The file's 256-byte dictionary. */
  readonly dictionary: Uint8Array;
  readonly entries: readonly Entry[];
  /** One entry's decoded bytes. */
  read(index: number): Uint8Array;
  /** Decodes one entry into the start of `target`; returns the number of
   *  bytes written. */
  readInto(index: number, target: Uint8Array): number;
  /** The whole decoded file: the bytes unls11 writes. */
  readAll(): Uint8Array;
  /** The whole decoded file written into the start of `target`, so that a
   *  program decoding many files reuses one array; returns its length. */
  readAll(target: Uint8Array): number;
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

/** Builds an LS11 file in which entry i holds entries[i]; at least one entry. */
export function pack(entries: Iterable<Bytes>, options?: PackOptions): Uint8Array;

/** A copy of `source` in which the named entries hold the given bytes; every
 *  other entry's packed bytes stay as they are. */
export function replace(source: Archive | Bytes,
                        replacements: Map<number, Bytes> | Record<number, Bytes>): Uint8Array;

/** Decodes one compressed block with a file's dictionary. */
export function decodeBlock(packed: Bytes, dictionary: Bytes, unpackedSize: number): Uint8Array;
