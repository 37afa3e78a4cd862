// Every surface gives unls11's verdict: damaged copies of the samples
// through unls11 (and `ls11 verify`), ls11.js and the Python module. The
// environment names them: LS11_JS, LS11_TOOL, LS11_UNLS11, LS11_SAMPLES,
// LS11_PYTHON (an interpreter that imports ls11 with the build's library).
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { pathToFileURL } from "node:url";

import { unls11Statuses, writeMutatedCorpus } from "./mutated_corpus.mjs";

const ls11 = await import(pathToFileURL(process.env.LS11_JS).href);

// An entry of nearly 4 GiB cannot be decoded in the module's 32-bit
// memory beside the library's own few megabytes: there ls11.js says "not
// enough memory", whatever unls11 finds.
const BEYOND_THE_MODULE = 2 ** 32 - 16 * 2 ** 20;

function jsStatus(path) {
  let archive;
  try {
    archive = ls11.open(readFileSync(path));
    for (const { index } of archive.entries) archive.read(index);
    return { status: ls11.OK };
  } catch (error) {
    if (!(error instanceof ls11.LS11Error)) throw error;
    const beyond = archive?.entries.some((e) => e.unpackedSize >= BEYOND_THE_MODULE);
    return { status: error.status, beyond: beyond && error.status === ls11.ERR_NO_MEMORY };
  } finally {
    archive?.close();
  }
}

test("damaged files: ls11.js and Python give unls11's status for each", () => {
  const paths = writeMutatedCorpus(mkdtempSync(join(tmpdir(), "ls11-mutated-")), process.env.LS11_SAMPLES);
  const native = unls11Statuses(process.env.LS11_UNLS11, process.env.LS11_TOOL, paths);
  const python = JSON.parse(execFileSync(process.env.LS11_PYTHON,
                                         [new URL("../python/tests/file_statuses.py", import.meta.url).pathname],
                                         { input: paths.join("\n"), maxBuffer: 1 << 26 }));
  const counts = {};
  const differ = [];
  let beyond = 0;
  paths.forEach((path, i) => {
    const expected = native.get(path);
    counts[expected] = (counts[expected] ?? 0) + 1;
    const js = jsStatus(path);
    beyond += js.beyond ? 1 : 0;
    if ((js.status !== expected && !js.beyond) || python[i] !== expected) {
      differ.push({ path, expected, js: js.status, python: python[i] });
    }
  });
  console.log(`${paths.length} files, by unls11's status: ${JSON.stringify(counts)}; ` +
              `${beyond} past ls11.js's memory; ${differ.length} differ`);
  assert.deepEqual(differ, []);
  assert.ok(beyond < paths.length / 20, "the corpus is not mostly files past ls11.js's memory");
});
