// node bench/page_open.mjs LS11KIT_HTML LS11_TOOL [FOLDER]
//
// How ls11kit.html, in headless Chromium (Debian's), copes with a game's
// folder and with large entries:
// - opening FOLDER (by default a generated one of about 100 files and 50 MB,
//   one of them not an LS11 file): the time from the file input's change
//   event until every table is drawn, until every status is in, and the
//   longest main-thread task meanwhile (a PerformanceObserver for long
//   tasks), beside `ls11 verify -r` of the same folder;
// - opening a file of 100,000 empty entries: the same figures;
// - scrolling the hex and the text view of a 6 MB entry from its top to its
//   end: the longest main-thread task.
// Needs web/node_modules (`npm ci` in web/).
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readdirSync, rmSync, statSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";
import puppeteer from "../web/node_modules/puppeteer-core/lib/esm/puppeteer/puppeteer-core.js";

const [pageFile, toolPath, given] = process.argv.slice(2);
const tool = resolve(toolPath);
const scratch = mkdtempSync(join(tmpdir(), "ls11kit-bench-"));

// Text-like bytes that compress about as game data does.
function gameBytes(size, seed) {
  const words = ["castle", "army", "gold", "rice", "general", "spring", "autumn", "battle", "\n", "0x1f", "  "];
  const bytes = new Uint8Array(size);
  let x = seed * 2654435761 >>> 0;
  for (let at = 0; at < size;) {
    x = (x * 1103515245 + 12345) >>> 0;
    const word = x % 7 === 0 ? String.fromCharCode(32 + (x >>> 8) % 90) : words[(x >>> 16) % words.length];
    for (let i = 0; i < word.length && at < size; ++i) bytes[at++] = word.charCodeAt(i);
  }
  return bytes;
}

// About 100 files and 50 MB: LS11 files of 1 to 200 entries in two folder
// levels, one of them with a 6 MB entry, and a file that is not LS11.
function makeFolder() {
  const folder = join(scratch, "game");
  const parts = join(scratch, "parts");
  mkdirSync(parts);
  let total = 0;
  for (let file = 0; file < 100; ++file) {
    const dir = join(folder, `DATA${file % 4}`);
    mkdirSync(dir, { recursive: true });
    const count = 1 + ((file * 37) % 200);
    const size = file === 0 ? 6 << 20 : Math.floor(1700000 / count);
    const names = [];
    for (let entry = 0; entry < count; ++entry) {
      const name = join(parts, `${entry}`);
      writeFileSync(name, gameBytes(entry === 0 ? size : Math.max(1, size), file * 1000 + entry));
      names.push(name);
    }
    execFileSync(tool, ["pack", "-q", "-f", "--level", "fast", "-o", join(dir, `SCEN${file}.LS11`), ...names]);
    total += statSync(join(dir, `SCEN${file}.LS11`)).size;
  }
  writeFileSync(join(folder, "README.TXT"), "not an LS11 file\n");
  return { folder, big: join(folder, "DATA0", "SCEN0.LS11"), total };
}

function filesUnder(dir) {
  return readdirSync(dir).flatMap((name) => {
    const path = join(dir, name);
    return statSync(path).isDirectory() ? filesUnder(path) : [resolve(path)];
  });
}

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"],
});

async function freshPage() {
  const page = await browser.newPage();
  await page.setViewport({ width: 1440, height: 900 });
  await page.goto(pathToFileURL(resolve(pageFile)).href);
  await page.evaluate(() => {
    window.longest = 0;
    window.tasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) {
        window.longest = Math.max(window.longest, entry.duration);
        window.tasks.push(Math.round(entry.duration));
      }
    }).observe({ type: "longtask" });
    document.querySelector("[data-testid=open]").addEventListener("change", () => {
      window.benchStart = performance.now();
      window.longest = 0;
    }, { capture: true });
  });
  return page;
}

// Opens `files`; gives the seconds to every table, to every status, and the
// longest task in milliseconds.
async function timeOpen(files) {
  const page = await freshPage();
  await (await page.$("[data-testid=open]")).uploadFile(...files);
  const tables = await page.waitForFunction((count) => {
    const summary = document.querySelector("[data-testid=summary]");
    const cards = [...document.querySelectorAll("[data-testid=file]")];
    return Number(summary.dataset.files) === count &&
           cards.every((card) => card.querySelector("[data-field=counts]").textContent ||
                                 card.dataset.status !== undefined) &&
           performance.now() - window.benchStart;
  }, { polling: "raf", timeout: 120000 }, files.length).then((handle) => handle.jsonValue());
  const statuses = await page.waitForFunction(() => {
    const { dataset } = document.querySelector("[data-testid=summary]");
    return Number(dataset.ok) + Number(dataset.failed) + Number(dataset.skipped) === Number(dataset.files) &&
           performance.now() - window.benchStart;
  }, { polling: "raf", timeout: 600000 }).then((handle) => handle.jsonValue());
  await new Promise((done) => setTimeout(done, 300));
  const longest = await page.evaluate(() => window.longest);
  return { page, tables: tables / 1000, statuses: statuses / 1000, longest };
}

// Scrolls the preview from its top to its end in steps of a screen, a
// frame each, and gives the longest task meanwhile.
async function timeScroll(page, mode) {
  await page.click(mode === "hex" ? "#tab-hex" : "#tab-text");
  await new Promise((done) => setTimeout(done, 300));
  return page.evaluate(async () => {
    const view = document.querySelector("#view");
    view.scrollTop = 0;
    window.longest = 0;
    window.tasks = [];
    const frame = () => new Promise((done) => requestAnimationFrame(done));
    let steps = 0;
    while (view.scrollTop + view.clientHeight < view.scrollHeight - 1) {
      view.scrollTop += view.clientHeight * 3;
      ++steps;
      await frame();
    }
    await new Promise((done) => setTimeout(done, 300));
    return { longest: window.longest, tasks: window.tasks, steps };
  });
}

const seconds = (value) => `${value.toFixed(2)} s`;

try {
  const made = given ? null : makeFolder();
  const folder = given ?? made.folder;
  const files = filesUnder(folder);
  const bytes = files.reduce((sum, path) => sum + statSync(path).size, 0);
  let start = performance.now();
  try {
    execFileSync(tool, ["verify", "-r", "-q", folder]);
  } catch {
    // a folder with failing files still gives its time
  }
  const verify = (performance.now() - start) / 1000;
  const folderRun = await timeOpen(files);
  console.log(`folder, ${files.length} files, ${(bytes / 1e6).toFixed(1)} MB: every table ${seconds(folderRun.tables)}, ` +
              `every status ${seconds(folderRun.statuses)}, longest task ${folderRun.longest.toFixed(0)} ms ` +
              `(ls11 verify -r: ${seconds(verify)})`);
  await folderRun.page.close();

  const empty = join(scratch, "e");
  writeFileSync(empty, "");
  const many = join(scratch, "MANY.LS11");
  execFileSync(tool, ["pack", "-q", "-f", "--store", "-o", many, ...Array(100000).fill("e")], { cwd: scratch });
  const manyRun = await timeOpen([many]);
  console.log(`100,000 empty entries: table ${seconds(manyRun.tables)}, status ${seconds(manyRun.statuses)}, ` +
              `longest task ${manyRun.longest.toFixed(0)} ms`);
  await manyRun.page.close();

  if (made) {
    const bigRun = await timeOpen([made.big]);
    const { page } = bigRun;
    await page.click("[data-testid=entry][data-index='0'] [data-testid=preview-entry]");
    await page.waitForFunction(() => document.querySelector("#preview-title").textContent.includes("6.0 MiB"));
    const hex = await timeScroll(page, "hex");
    const text = await timeScroll(page, "text");
    const told = ({ longest, tasks, steps }) => `${longest.toFixed(0)} ms (${steps} frames, ` +
      `${tasks.length} tasks over 50 ms${tasks.length ? `: ${tasks.slice(0, 8).join(", ")}` : ""})`;
    console.log(`6 MB entry scrolled top to end: longest task ${told(hex)} in hex, ${told(text)} in text`);
  }
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
