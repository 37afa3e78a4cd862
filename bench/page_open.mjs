// node bench/page_open.mjs LS11KIT_HTML FOLDER
//
// How long ls11kit.html, in headless Chromium (Debian's), takes to show the
// tables of every LS11 file in FOLDER (and every other file as skipped)
// after they are given to its file input, and then to finish checking them
// all; timed from the page's own change event. Needs web/node_modules
// (`npm ci` in web/).
import { readdirSync, statSync } from "node:fs";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";
import puppeteer from "../web/node_modules/puppeteer-core/lib/esm/puppeteer/puppeteer-core.js";

const [page_file, folder] = process.argv.slice(2);
const files = [];
(function walk(dir) {
  for (const name of readdirSync(dir)) {
    const path = join(dir, name);
    if (statSync(path).isDirectory()) walk(path);
    else files.push(resolve(path));
  }
})(folder);
const bytes = files.reduce((sum, path) => sum + statSync(path).size, 0);

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1440, height: 900 });
  await page.goto(pathToFileURL(resolve(page_file)).href);
  await page.evaluate(() => {
    document.querySelector("[data-testid=open]").addEventListener("change", () => {
      window.benchStart = performance.now();
    }, { capture: true });
  });
  await (await page.$("[data-testid=open]")).uploadFile(...files);
  const tables = await page.waitForFunction((count) => {
    const cards = [...document.querySelectorAll("[data-testid=file]")];
    const skipped = document.querySelectorAll("[data-testid=skipped]").length;
    const shown = cards.filter((card) => card.querySelector("[data-testid=entry]") ||
                                         card.querySelector("[data-testid=status]").textContent !== "Checking…");
    return cards.length + skipped === count && shown.length === cards.length &&
           { ms: performance.now() - window.benchStart, files: cards.length,
             entries: document.querySelectorAll("[data-testid=entry]").length };
  }, { polling: "raf", timeout: 120000 }, files.length).then((handle) => handle.jsonValue());
  const checked = await page.waitForFunction(() =>
    [...document.querySelectorAll("[data-testid=status]")].every((s) => s.textContent !== "Checking…") &&
    performance.now() - window.benchStart, { polling: "raf", timeout: 600000 }).then((handle) => handle.jsonValue());
  console.log(`${files.length} files, ${(bytes / 1e6).toFixed(1)} MB: ${tables.files} LS11 files with ` +
              `${tables.entries} entries shown in ${(tables.ms / 1000).toFixed(2)} s, all checked in ` +
              `${(checked / 1000).toFixed(2)} s`);
} finally {
  await browser.close();
}
