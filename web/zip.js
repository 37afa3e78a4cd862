// A zip file of stored (uncompressed) entries: LS11 entries are mostly
// packed already, and a zip that only stores is small code that any unzip
// tool reads.
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

// files: [{name, data: Uint8Array}], names in ASCII. Returns the zip's bytes.
function makeZip(files, date = new Date()) {
  const dosTime = (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1);
  const dosDate = ((date.getFullYear() - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate();
  const encoder = new TextEncoder();
  const local = [];
  const central = [];
  let offset = 0;
  for (const { name, data } of files) {
    const nameBytes = encoder.encode(name);
    const crc = crc32(data);
    // Version needed, flags (bit 11: UTF-8 names), method 0, time, date,
    // CRC, sizes, name length, extra length.
    const common = [[20, 2], [0x0800, 2], [0, 2], [dosTime, 2], [dosDate, 2], [crc, 4],
                    [data.length, 4], [data.length, 4], [nameBytes.length, 2], [0, 2]];
    const header = record([[0x04034b50, 4], ...common], nameBytes);
    local.push(header, data);
    central.push(record([[0x02014b50, 4], [20, 2], ...common, [0, 2], [0, 2], [0, 2], [0, 4],
                         [offset, 4]], nameBytes));
    offset += header.length + data.length;
  }
  const directorySize = central.reduce((sum, part) => sum + part.length, 0);
  const end = record([[0x06054b50, 4], [0, 2], [0, 2], [files.length, 2], [files.length, 2],
                      [directorySize, 4], [offset, 4], [0, 2]], new Uint8Array(0));
  return concatBytes([...local, ...central, end]);
}

// Little-endian fields [value, width] followed by `tail`.
function record(fields, tail) {
  const size = fields.reduce((sum, [, width]) => sum + width, 0);
  const bytes = new Uint8Array(size + tail.length);
  const view = new DataView(bytes.buffer);
  let at = 0;
  for (const [value, width] of fields) {
    if (width === 2) view.setUint16(at, value, true);
    else view.setUint32(at, value, true);
    at += width;
  }
  bytes.set(tail, at);
  return bytes;
}

function concatBytes(parts) {
  const out = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) {
    out.set(part, at);
    at += part.length;
  }
  return out;
}
