// node bench/js_decode.mjs LS11_JS PASSES FILE...
//
// What bench/decode_memory_main.cpp measures for the native library, for
// ls11.js: open(bytes), readAll(target), close() on each whole file, one
// pass first (the WebAssembly code tiers up), then PASSES timed; prints
// "FILE<TAB>DECODED_BYTES<TAB>MEDIAN_SECONDS" per file. The target is one
// array for every file and pass, as a program decoding many files keeps
// it.
import { readFileSync } from "node:fs";
import { resolve } from "node:path";
import { pathToFileURL } from "node:url";

const [module, passes, ...files] = process.argv.slice(2);
const ls11 = await import(pathToFileURL(resolve(module)).href);

let target = new Uint8Array(0);

function decodeAll(bytes) {
  const archive = ls11.open(bytes);
  const total = archive.entries.reduce((sum, e) => sum + e.unpackedSize, 0);
  if (target.length < total) target = new Uint8Array(total);
  const decoded = archive.readAll(target);
  archive.close();
  return decoded;
}

for (const file of files) {
  const bytes = readFileSync(file);
  const decoded = decodeAll(bytes);
  const seconds = [];
  for (let p = 0; p < Number(passes); ++p) {
    const start = process.hrtime.bigint();
    decodeAll(bytes);
    seconds.push(Number(process.hrtime.bigint() - start) / 1e9);
  }
  seconds.sort((a, b) => a - b);
  console.log(`${file}\t${decoded}\t${seconds[Math.floor(seconds.length / 2)].toFixed(6)}`);
}
