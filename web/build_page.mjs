// Writes ls11kit.html: page.html with its style, its script and its worker
// (ls11.js, zip.js, worker.js) inside, so that the page is one file that
// needs nothing else. A page opened from file:// can start a classic worker
// from its own text but not a module one, so the worker is ls11.js without
// its `export` words, and the three in one async function (for ls11.js's
// top-level await).
//   node build_page.mjs SOURCE_DIR LS11_JS OUTPUT
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [source, module, output] = process.argv.slice(2);
const read = (path) => readFileSync(path, "utf8");
const parts = {
  PAGE_CSS: read(join(source, "page.css")),
  WORKER_JS: ["(async () => {", read(module).replace(/^export /gm, ""), read(join(source, "zip.js")),
              read(join(source, "worker.js")),
              "})().catch((error) => self.postMessage({ failed: String(error) }));"].join("\n"),
  PAGE_JS: read(join(source, "page.js")),
};
let page = read(join(source, "page.html"));
for (const [name, text] of Object.entries(parts)) {
  if (/<\/(script|style)/i.test(text)) throw new Error(`${name} would end its element early`);
  const marker = `/*@${name}@*/`;
  if (!page.includes(marker)) throw new Error(`page.html has no ${marker}`);
  page = page.replace(marker, () => text);
}
writeFileSync(output, page);
