// Character encodings: the ones the Text view offers, a guess of an entry's
// encoding from its bytes, the user's own choice remembered, and encoders
// for the multi-byte legacy encodings, made from the browser's own decoder
// (every 1- and 2-byte sequence decoded once and inverted), so that the
// page ships no table and encodes exactly as it decodes.
export const ENCODINGS = ["utf-8", "shift_jis", "euc-jp", "iso-2022-jp", "euc-kr", "big5", "gbk", "gb18030",
  "utf-16le", "utf-16be", "windows-1252", "windows-1250", "windows-1251", "windows-1253", "windows-1254",
  "windows-1255", "windows-1256", "windows-1257", "windows-1258", "windows-874", "iso-8859-2", "iso-8859-3",
  "iso-8859-4", "iso-8859-5", "iso-8859-6", "iso-8859-7", "iso-8859-8", "iso-8859-10", "iso-8859-13",
  "iso-8859-14", "iso-8859-15", "iso-8859-16", "koi8-r", "koi8-u", "ibm866", "macintosh", "x-mac-cyrillic"]
  .filter((label) => { try { new TextDecoder(label); return true; } catch { return false; } });

// The encodings a game's text is likely in, in the order ties go.
const LIKELY = ["utf-8", "shift_jis", "euc-jp", "euc-kr", "big5", "gbk", "utf-16le", "utf-16be"];
const CHOICE_KEY = "ls11kit.encoding";

// Characters common in Chinese text, simplified and traditional alike: text
// decoded in the wrong one of Big5 and GBK has few of them.
const COMMON_HAN = new Set("的一是不了人我在有他這这中大來来上國国個个到說说們们為为子和你地出道也時时年" +
  "得就那要下以生會会自著着去之過过家學学對对可她裡里後后小麼么心多天而能好都然沒没日於于起還还發发成事只作當" +
  "当想看文無无開开手十用主行方又如前所本見见經经頭头面公同三已老從从動动兩两長长");

// How plausible a character is in text: letters and the common scripts
// score, control codes and private-use characters count against.
function weight(code, char) {
  if (code === 0x09 || code === 0x0a || code === 0x0d || (code >= 0x20 && code < 0x7f)) return 1;
  if (code < 0x20 || (code >= 0x7f && code < 0xa0) || code === 0xfffd) return -6;
  if (code >= 0xe000 && code <= 0xf8ff) return -4;
  if (code >= 0x3040 && code <= 0x30ff) return 2;  // kana
  if (code >= 0xac00 && code <= 0xd7a3) return 2;  // hangul
  if (code >= 0x4e00 && code <= 0x9fff) return COMMON_HAN.has(char) ? 3 : 1.2;
  if ((code >= 0x3000 && code <= 0x303f) || (code >= 0xff01 && code <= 0xff5e)) return 1.5;
  if (code >= 0xff61 && code <= 0xff9f) return 0.2;  // half-width kana: random bytes in Shift_JIS
  if (code >= 0xa0 && code <= 0x24f) return 0.5;
  return 0;
}

function score(text) {
  let sum = 0;
  let count = 0;
  for (const char of text) {
    sum += weight(char.codePointAt(0), char);
    ++count;
  }
  return count === 0 ? 0 : sum / count;
}

const rememberedEncoding = () => {
  try { return localStorage.getItem(CHOICE_KEY); } catch { return null; }
};

export function rememberEncoding(label) {
  try { localStorage.setItem(CHOICE_KEY, label); } catch { /* a page without storage forgets */ }
}

// The likely encoding of `bytes`: among those that decode its first 64 KiB
// without error, the one whose characters are most plausible; the user's
// last choice wins a near tie.
export function guessEncoding(bytes) {
  const sample = bytes.subarray(0, 65536);
  const remembered = rememberedEncoding();
  const candidates = remembered && ENCODINGS.includes(remembered) && !LIKELY.includes(remembered)
    ? [remembered, ...LIKELY] : LIKELY;
  // UTF-16 decodes almost any even run of bytes, ASCII as CJK: only text
  // with many zero bytes is taken for it.
  let zeros = 0;
  for (const byte of sample) if (byte === 0) ++zeros;
  const wide = zeros * 8 >= sample.length;
  let best = { label: remembered && ENCODINGS.includes(remembered) ? remembered : "utf-8", score: -Infinity };
  const scores = new Map();
  for (const label of candidates) {
    if (label.startsWith("utf-16") && !wide) continue;
    let text;
    try {
      text = new TextDecoder(label, { fatal: true }).decode(sample, { stream: sample.length < bytes.length });
    } catch {
      continue;
    }
    const value = score(text);
    scores.set(label, value);
    if (value > best.score) best = { label, score: value };
  }
  if (remembered && scores.has(remembered) && scores.get(remembered) >= best.score - 0.05) return remembered;
  return best.score === -Infinity ? "windows-1252" : best.label;
}

const encoders = new Map();

// code point -> its bytes, from decoding every 1- and 2-byte sequence of
// `label`; the first sequence that gives a character is the one kept.
function tableOf(label) {
  const decoder = new TextDecoder(label);
  const table = new Map();
  for (let byte = 0; byte < 0x100; ++byte) {
    const text = decoder.decode(new Uint8Array([byte]));
    if (text.length > 0 && text !== "\ufffd" && [...text].length === 1) table.set(text.codePointAt(0), [byte]);
  }
  // Each lead byte with every trail byte, a newline after each pair: every
  // decoder gives an ASCII byte back as itself, so each pair's text stays
  // between two newlines whatever it decodes to.
  const trails = [];
  for (let trail = 0x40; trail < 0xff; ++trail) trails.push(trail);
  for (let lead = 0x81; lead < 0xff; ++lead) {
    const pairs = new Uint8Array(trails.length * 3);
    trails.forEach((trail, i) => pairs.set([lead, trail, 0x0a], 3 * i));
    decoder.decode(pairs).split("\n").slice(0, trails.length).forEach((text, i) => {
      if (text.length === 0 || text.includes("\ufffd") || [...text].length !== 1) return;
      const code = text.codePointAt(0);
      if (!table.has(code)) table.set(code, [lead, trails[i]]);
    });
  }
  return table;
}

// An encoder for `label`, or null for one the page cannot write
// (iso-2022-jp, which changes state within the text).
export function encoderFor(label) {
  if (label === "utf-8") return (text) => ({ bytes: new TextEncoder().encode(text) });
  if (label === "utf-16le" || label === "utf-16be") {
    return (text) => {
      const bytes = new Uint8Array(text.length * 2);
      const view = new DataView(bytes.buffer);
      for (let i = 0; i < text.length; ++i) view.setUint16(2 * i, text.charCodeAt(i), label === "utf-16le");
      return { bytes };
    };
  }
  if (label === "iso-2022-jp") return null;
  if (!encoders.has(label)) encoders.set(label, tableOf(label));
  const table = encoders.get(label);
  return (text) => {
    const out = [];
    let line = 1;
    for (const char of text) {
      const bytes = table.get(char.codePointAt(0));
      if (!bytes) return { bad: char, line };
      if (char === "\n") ++line;
      out.push(...bytes);
    }
    return { bytes: Uint8Array.from(out) };
  };
}

// Whether `bytes` decode in `label` without error into text with no control
// codes but tab and line ends, and encode back to themselves: only such
// text can be edited as text (a control code in a text box would be lost
// or changed unseen).
export function roundTrips(bytes, label) {
  const encode = encoderFor(label);
  if (!encode) return false;
  let text;
  try {
    text = new TextDecoder(label, { fatal: true, ignoreBOM: true }).decode(bytes);
  } catch {
    return false;
  }
  if (/[\x00-\x08\x0b\x0c\x0e-\x1f\x7f-\x9f]/.test(text)) return false;
  const { bytes: again } = encode(text);
  return again !== undefined && again.length === bytes.length && again.every((byte, i) => byte === bytes[i]);
}
