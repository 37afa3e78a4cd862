// Damaged LS11 files for comparing every surface's verdict with unls11's:
// each sample cut, padded, its header, table words and blocks changed, a
// fixed number of ways from a fixed seed, so that a failure can be run
// again. js/differential.test.mjs runs them through every surface:
//   const files = writeMutatedCorpus(folder, samplesFolder);
//   const expected = unls11Statuses(unls11, tool, files);  // path -> status
import { spawnSync } from "node:child_process";
import { copyFileSync, readdirSync, readFileSync, writeFileSync } from "node:fs";
import { basename, join } from "node:path";

// A deterministic generator (a linear congruential one).
function random(seed) {
  let state = seed >>> 0;
  return (below) => (state = (Math.imul(state, 1664525) + 1013904223) >>> 0) % below;
}

// Values a table word is set to: the edges of 31 and 32 bits, where sizes
// wrap or stop fitting a signed int, and the file's own length around.
const WORDS = [0, 1, 0x7fffffff, 0x80000000, 0xfffffeff, 0xffffff00, 0xffffffff];

function mutate(original, next) {
  const bytes = Uint8Array.from(original);
  const table = new DataView(bytes.buffer);
  const entries = Math.max(1, Math.floor((table.getUint32(280) - 276) / 12));
  switch (next(6)) {
    case 0:  // any byte
      bytes[next(bytes.length)] ^= 1 + next(255);
      return bytes;
    case 1: {  // one word of the table
      const word = [...WORDS, bytes.length, bytes.length + 1, next(0x100000)][next(WORDS.length + 3)];
      table.setUint32(272 + 12 * next(entries) + 4 * next(3), word);
      return bytes;
    }
    case 2:  // cut short
      return bytes.subarray(0, next(bytes.length));
    case 3:  // longer
      return Uint8Array.of(...bytes, ...Array.from({ length: 1 + next(16) }, () => next(256)));
    case 4:  // a byte of the blocks
      bytes[Math.min(bytes.length - 1, 276 + 12 * entries + next(bytes.length))] ^= 1 << next(8);
      return bytes;
    default:  // the header's kind
      bytes[3] = "0123459 \0".charCodeAt(next(9));
      return bytes;
  }
}

// Writes `perSample` damaged copies of each sample (and the samples
// themselves) into `folder`; returns their paths.
export function writeMutatedCorpus(folder, samplesFolder, perSample = 150, seed = 11) {
  const next = random(seed);
  const paths = [];
  for (const name of readdirSync(samplesFolder).filter((n) => n.endsWith(".LS11")).sort()) {
    const original = readFileSync(join(samplesFolder, name));
    const path = join(folder, name);
    copyFileSync(join(samplesFolder, name), path);
    paths.push(path);
    for (let i = 0; i < perSample; ++i) {
      const damaged = join(folder, `${name.slice(0, -5)}-${i}.LS11`);
      writeFileSync(damaged, mutate(original, next));
      paths.push(damaged);
    }
  }
  return paths;
}

// unls11's status for each file (path -> status number), from its report
// lines ("NAME : MESSAGE", run in the files' folder, where it writes its
// .DEC outputs), numbered by `ls11 verify --json`, whose message (after
// the failing entry's number) must be unls11's, file by file.
export function unls11Statuses(unls11, tool, paths) {
  const folder = join(paths[0], "..");
  // Both exit with a failure when a file fails, and say why on stderr.
  const run = (program, args, options) => spawnSync(program, args, { maxBuffer: 1 << 26, ...options }).stdout;
  const verified = JSON.parse(run(tool, ["verify", "-q", "--json", ...paths]));
  const report = run(unls11, paths.map((p) => basename(p)), { cwd: folder });
  const messages = new Map(report.toString().split("\n").filter((line) => line.includes(" : "))
    .map((line) => [line.slice(0, line.lastIndexOf(" : ")), line.slice(line.lastIndexOf(" : ") + 3)]));
  return new Map(verified.map(({ name, status, message }) => {
    const said = messages.get(basename(name));
    if (said === undefined || !(message === said || message.endsWith(`: ${said}`))) throw new Error(`${name}: unls11 says ${said}, ls11 verify ${message}`);
    return [name, status];
  }));
}
