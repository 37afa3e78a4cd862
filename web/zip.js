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

export function crc32(bytes) {
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) crc = CRC_TABLE[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

const MAX16 = 0xffff;
const MAX32 = 0xffffffff;

// files: [{name, data: Uint8Array}]. Returns the zip as a list of parts, in
// order (a Blob takes them as they are; one array could not pass 2 GiB).
export function makeZip(files, date = new Date()) {
  const dosTime = (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1);
  const dosDate = ((date.getFullYear() - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate();
  const encoder = new TextEncoder();
  const parts = [];
  const central = [];
  let offset = 0;
  for (const { name, data } of files) {
    const nameBytes = encoder.encode(name);
    const crc = crc32(data);
    const bigSize = data.length >= MAX32;
    const bigOffset = offset >= MAX32;
    const size32 = bigSize ? MAX32 : data.length;
    const version = bigSize || bigOffset ? 45 : 20;
    // Flags (bit 11: UTF-8 names), method 0 (stored), time, date, CRC, sizes.
    const common = [[0x0800, 2], [0, 2], [dosTime, 2], [dosDate, 2], [crc, 4], [size32, 4], [size32, 4],
                    [nameBytes.length, 2]];
    const localExtra = bigSize ? zip64Extra([data.length, data.length]) : new Uint8Array(0);
    const header = record([[0x04034b50, 4], [version, 2], ...common, [localExtra.length, 2]], nameBytes, localExtra);
    parts.push(header, data);
    const centralExtra = zip64Extra([...(bigSize ? [data.length, data.length] : []), ...(bigOffset ? [offset] : [])]);
    central.push(record([[0x02014b50, 4], [version, 2], [version, 2], ...common, [centralExtra.length, 2],
                         [0, 2], [0, 2], [0, 2], [0, 4], [bigOffset ? MAX32 : offset, 4]], nameBytes, centralExtra));
    offset += header.length + data.length;
  }
  const directorySize = central.reduce((sum, part) => sum + part.length, 0);
  parts.push(...central);
  const count = files.length;
  if (count >= MAX16 || offset >= MAX32 || directorySize >= MAX32) {
    const end64 = offset + directorySize;
    parts.push(record([[0x06064b50, 4], [44, 8], [45, 2], [45, 2], [0, 4], [0, 4], [count, 8], [count, 8],
                       [directorySize, 8], [offset, 8]]),
               record([[0x07064b50, 4], [0, 4], [end64, 8], [1, 4]]));
  }
  parts.push(record([[0x06054b50, 4], [0, 2], [0, 2], [Math.min(count, MAX16), 2], [Math.min(count, MAX16), 2],
                     [Math.min(directorySize, MAX32), 4], [Math.min(offset, MAX32), 4], [0, 2]]));
  return parts;
}

// The ZIP64 extra field holding `values` (8 bytes each), or nothing.
function zip64Extra(values) {
  if (values.length === 0) return new Uint8Array(0);
  return record([[0x0001, 2], [8 * values.length, 2], ...values.map((value) => [value, 8])]);
}

// Little-endian fields [value, width] followed by the byte arrays `tails`.
function record(fields, ...tails) {
  const size = fields.reduce((sum, [, width]) => sum + width, 0);
  const bytes = new Uint8Array(size + tails.reduce((sum, tail) => sum + tail.length, 0));
  const view = new DataView(bytes.buffer);
  let at = 0;
  for (const [value, width] of fields) {
    if (width === 2) view.setUint16(at, value, true);
    else if (width === 4) view.setUint32(at, value, true);
    else view.setBigUint64(at, BigInt(value), true);
    at += width;
  }
  for (const tail of tails) {
    bytes.set(tail, at);
    at += tail.length;
  }
  return bytes;
}
