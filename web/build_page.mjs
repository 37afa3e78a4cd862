// Writes ls11kit.html: page.html with its style, its script and its worker
// inside, so that the page is one file that needs nothing else. esbuild
// bundles the page's modules (page.js and what it imports) and the worker's
// (worker.js with ls11.js). A page opened from file:// can start a classic
// worker from its own text but not a module one, so the worker's bundle,
// which has no imports or exports left but keeps ls11.js's top-level await,
// runs inside one async function.
//   node build_page.mjs SOURCE_DIR LS11_JS OUTPUT
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { build } from "esbuild";

const [source, module, output] = process.argv.slice(2);

async function bundle(entry) {
  const result = await build({
    entryPoints: [join(source, entry)],
    bundle: true,
    format: "esm",
    target: "es2022",
    minifySyntax: true,
    legalComments: "none",
    write: false,
    alias: { ls11kit: module },
    logLevel: "warning",
  });
  return result.outputFiles[0].text;
}

const parts = {
  PAGE_CSS: readFileSync(join(source, "page.css"), "utf8"),
  WORKER_JS: ["(async () => {", await bundle("worker.js"),
              "})().catch((error) => self.postMessage({ failed: String(error) }));"].join("\n"),
  PAGE_JS: await bundle("page.js"),
};
let page = readFileSync(join(source, "page.html"), "utf8");
for (const [name, text] of Object.entries(parts)) {
  if (/<\/(script|style)|<!--/i.test(text)) throw new Error(`${name} would end its element early`);
  const marker = `/*@${name}@*/`;
  if (!page.includes(marker)) throw new Error(`page.html has no ${marker}`);
  page = page.replace(marker, () => text);
}
writeFileSync(output, page);
