// A zip file of stored (uncompressed) entries: LS11 entries are mostly
// packed already, and a zip that only stores is small code that any unzip
// tool reads. Past 65,534 members or 4 GiB it carries the ZIP64 records
// that say the real counts and offsets.
const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(bytes) {
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) crc = CRC_TABLE[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

const MAX16 = 0xffff;
const MAX32 = 0xffffffff;

// Collects the zip's bytes in 1 MiB chunks: small records and members are
// copied in, large members kept as parts of their own.
class Sink {
  constructor() {
    this.parts = [];
    this.chunk = new Uint8Array(1 << 20);
    this.view = new DataView(this.chunk.buffer);
    this.used = 0;
    this.size = 0;
  }

  flush() {
    if (this.used > 0) this.parts.push(this.chunk.slice(0, this.used));
    this.used = 0;
  }

  bytes(data) {
    if (data.length > 65536) {
      this.flush();
      this.parts.push(data);
    } else {
      if (this.used + data.length > this.chunk.length) this.flush();
      this.chunk.set(data, this.used);
      this.used += data.length;
    }
    this.size += data.length;
  }

  // Little-endian fields [value, width].
  fields(list) {
    const size = list.reduce((sum, [, width]) => sum + width, 0);
    if (this.used + size > this.chunk.length) this.flush();
    const view = this.view;
    let at = this.used;
    for (const [value, width] of list) {
      if (width === 2) view.setUint16(at, value, true);
      else if (width === 4) view.setUint32(at, value, true);
      else view.setBigUint64(at, BigInt(value), true);
      at += width;
    }
    this.used = at;
    this.size += size;
  }

  finish() {
    this.flush();
    return this.parts;
  }
}

// The ZIP64 extra field's fields for `values` (8 bytes each), or none.
const zip64Extra = (values) => (values.length === 0 ? []
  : [[0x0001, 2], [8 * values.length, 2], ...values.map((value) => [value, 8])]);
const width = (fields) => fields.reduce((sum, [, bytes]) => sum + bytes, 0);

// files: [{name, data: Uint8Array}]. Returns the zip as a list of parts, in
// order (a Blob takes them as they are; one array could not pass 2 GiB).
export function makeZip(files, date = new Date()) {
  const dosTime = (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1);
  const dosDate = ((date.getFullYear() - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate();
  const encoder = new TextEncoder();
  const out = new Sink();
  const central = [];
  for (const { name, data } of files) {
    const nameBytes = encoder.encode(name);
    const offset = out.size;
    const bigSize = data.length >= MAX32;
    const bigOffset = offset >= MAX32;
    const size32 = bigSize ? MAX32 : data.length;
    const version = bigSize || bigOffset ? 45 : 20;
    // Flags (bit 11: UTF-8 names), method 0 (stored), time, date, CRC, sizes.
    const common = [[0x0800, 2], [0, 2], [dosTime, 2], [dosDate, 2], [crc32(data), 4], [size32, 4], [size32, 4],
                    [nameBytes.length, 2]];
    const localExtra = zip64Extra(bigSize ? [data.length, data.length] : []);
    out.fields([[0x04034b50, 4], [version, 2], ...common, [width(localExtra), 2]]);
    out.bytes(nameBytes);
    out.fields(localExtra);
    out.bytes(data);
    const centralExtra = zip64Extra([...(bigSize ? [data.length, data.length] : []), ...(bigOffset ? [offset] : [])]);
    central.push([[[0x02014b50, 4], [version, 2], [version, 2], ...common, [width(centralExtra), 2],
                   [0, 2], [0, 2], [0, 2], [0, 4], [bigOffset ? MAX32 : offset, 4]], nameBytes, centralExtra]);
  }
  const directory = out.size;
  for (const [fields, nameBytes, extra] of central) {
    out.fields(fields);
    out.bytes(nameBytes);
    out.fields(extra);
  }
  const directorySize = out.size - directory;
  const count = files.length;
  if (count >= MAX16 || directory >= MAX32 || directorySize >= MAX32) {
    const end64 = out.size;
    out.fields([[0x06064b50, 4], [44, 8], [45, 2], [45, 2], [0, 4], [0, 4], [count, 8], [count, 8],
                [directorySize, 8], [directory, 8]]);
    out.fields([[0x07064b50, 4], [0, 4], [end64, 8], [1, 4]]);
  }
  out.fields([[0x06054b50, 4], [0, 2], [0, 2], [Math.min(count, MAX16), 2], [Math.min(count, MAX16), 2],
              [Math.min(directorySize, MAX32), 4], [Math.min(directory, MAX32), 4], [0, 2]]);
  return out.finish();
}
