// Every surface gives unls11's verdict: damaged copies of the samples
// through unls11 (and `ls11 verify`), ls11.js, the Python module and the
// page in headless Chromium. The environment names them: LS11_JS,
// LS11_TOOL, LS11_UNLS11, LS11_SAMPLES, LS11_PYTHON (an interpreter that
// imports ls11 with the build's library), LS11_PAGE (ls11kit.html).
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, test } from "node:test";
import { pathToFileURL } from "node:url";

import { unls11Statuses, writeMutatedCorpus } from "./mutated_corpus.mjs";

const ls11 = await import(pathToFileURL(process.env.LS11_JS).href);
// The page's driver needs puppeteer-core, from web/'s own packages.
const { pageStatuses } = await import("../web/page_statuses.mjs").catch((error) => {
  throw new Error(`the page cannot be driven (cd web && npm ci): ${error.message}`);
});

// An entry of nearly 4 GiB cannot be decoded in the module's 32-bit
// memory beside the library's own few megabytes: there ls11.js, and the
// page through it, say "not enough memory", whatever unls11 finds.
const BEYOND_THE_MODULE = 2 ** 32 - 16 * 2 ** 20;

// ls11.js's status, and whether the file's table has an entry past the
// module's memory.
function jsStatus(path) {
  let archive;
  try {
    archive = ls11.open(readFileSync(path));
    for (const { index } of archive.entries) archive.read(index);
    return { status: ls11.OK, beyond: false };
  } catch (error) {
    if (!(error instanceof ls11.LS11Error)) throw error;
    return { status: error.status, beyond: archive?.entries.some((e) => e.unpackedSize >= BEYOND_THE_MODULE) ?? false };
  } finally {
    archive?.close();
  }
}

// Scratch folders, gone afterwards with the outputs unls11 writes there.
const scratch = [];
function newFolder(prefix) {
  scratch.push(mkdtempSync(join(tmpdir(), prefix)));
  return scratch.at(-1);
}
after(() => { for (const made of scratch) rmSync(made, { recursive: true, force: true }); });

// The samples, and two files past the 64 KiB the page first reads for a
// table: one whose table that prefix holds beside large entries, and one
// whose table alone is longer.
function originals() {
  const folder = newFolder("ls11-originals-");
  for (const name of readdirSync(process.env.LS11_SAMPLES).filter((n) => n.endsWith(".LS11"))) {
    copyFileSync(join(process.env.LS11_SAMPLES, name), join(folder, name));
  }
  const pack = (...args) => execFileSync(process.env.LS11_TOOL, ["pack", "-q", "-T", "1", ...args], { cwd: folder });
  // Random nibbles: still past 64 KiB once compressed.
  let state = 1;
  const nibble = () => (state = (Math.imul(state, 1664525) + 1013904223) >>> 0) >>> 28;
  writeFileSync(join(folder, "large"), Uint8Array.from({ length: 1 << 17 }, nibble));
  pack("-o", "wide.LS11", "large", join(process.env.LS11_SAMPLES, "grid.expected"));
  writeFileSync(join(folder, "small"), "abc");
  pack("--store", "-o", "long.LS11", ...Array(6000).fill("small"));
  for (const name of ["wide.LS11", "long.LS11"]) assert.ok(statSync(join(folder, name)).size > 2 ** 16, name);
  return folder;
}

test("damaged files: ls11.js, Python and the page give unls11's status for each", async () => {
  const paths = writeMutatedCorpus(newFolder("ls11-mutated-"), originals());
  const native = unls11Statuses(process.env.LS11_UNLS11, process.env.LS11_TOOL, paths);
  const python = JSON.parse(execFileSync(process.env.LS11_PYTHON,
                                         [new URL("../python/tests/file_statuses.py", import.meta.url).pathname],
                                         { input: paths.join("\n"), maxBuffer: 1 << 26 }));
  const page = await pageStatuses(process.env.LS11_PAGE, paths);
  const counts = {};
  const differ = [];
  const beyond = { js: 0, page: 0 };
  paths.forEach((path, i) => {
    const expected = native.get(path);
    counts[expected] = (counts[expected] ?? 0) + 1;
    const js = jsStatus(path);
    const shown = { js: js.status, page: page.get(path) };
    // Past the module's memory, "not enough memory" and nothing else.
    const agrees = (surface) => {
      const excused = js.beyond && shown[surface] === ls11.ERR_NO_MEMORY;
      beyond[surface] += excused ? 1 : 0;
      return shown[surface] === expected || excused;
    };
    if (![agrees("js"), agrees("page"), python[i] === expected].every(Boolean)) {
      differ.push({ path, expected, ...shown, python: python[i] });
    }
  });
  console.log(`${paths.length} files, by unls11's status: ${JSON.stringify(counts)}; past the module's memory ` +
              `for ls11.js ${beyond.js}, for the page ${beyond.page}; ${differ.length} differ`);
  assert.deepEqual(differ, []);
  assert.ok(beyond.js < paths.length / 20 && beyond.page < paths.length / 20,
            "the corpus is not mostly files past the module's memory");
});
