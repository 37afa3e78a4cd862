// ls11kit.html in headless Chromium, opened from file:// as a person opens
// it: the samples, a damaged file, a truncated one and a text file go in
// through the file input; the tables and statuses must be what `ls11 list`
// and `unls11` say, and what the page downloads (an entry, the decoded file,
// the zip, a replaced file, a packed file) must be the native tools' bytes.
// Screenshots in light and dark go to LS11_SCREENSHOTS.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync,
         writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { pathToFileURL } from "node:url";
import puppeteer from "puppeteer-core";

const { LS11_PAGE, LS11_TOOL, LS11_UNLS11, LS11_SAMPLES, LS11_SCREENSHOTS } = process.env;
const work = mkdtempSync(join(tmpdir(), "ls11kit-page-"));
const inputs = join(work, "inputs");
const downloads = join(work, "downloads");
mkdirSync(inputs);
mkdirSync(downloads);
const native = (tool, ...args) => execFileSync(tool, args, { cwd: work, maxBuffer: 1 << 28 });

// The inputs: every sample, one with a block that cannot decode, one cut
// short, and a file that is no LS11 file at all.
const samples = readdirSync(LS11_SAMPLES).filter((name) => name.endsWith(".LS11"));
for (const name of samples) copyFileSync(join(LS11_SAMPLES, name), join(inputs, name));
const [listedGrid] = JSON.parse(native(LS11_TOOL, "list", "--json", join(inputs, "grid.LS11")));
const lastGrid = listedGrid.entries.at(-1);
const damaged = readFileSync(join(inputs, "grid.LS11"));
damaged.fill(0xff, lastGrid.offset, lastGrid.offset + lastGrid.packed_size);
writeFileSync(join(inputs, "DAMAGED.LS11"), damaged);
writeFileSync(join(inputs, "SHORT.LS11"), readFileSync(join(inputs, "table.LS11")).subarray(0, 400));
writeFileSync(join(inputs, "notes.txt"), "not an LS11 file\n");
const opened = [...samples, "DAMAGED.LS11", "SHORT.LS11"];

// unls11's word on each file, from its report lines "NAME : MESSAGE".
function unls11Statuses() {
  const scratch = join(work, "unls11");
  mkdirSync(scratch);
  for (const name of opened) copyFileSync(join(inputs, name), join(scratch, name));
  const report = execFileSync(LS11_UNLS11, opened, { cwd: scratch }).toString();
  return Object.fromEntries([...report.matchAll(/^(.+?) : (.+)$/gm)].map(([, name, message]) => [name, message]));
}

let browser;
let page;
const pageErrors = [];
let downloadDone;

before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  const session = await browser.target().createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads, eventsEnabled: true });
  session.on("Browser.downloadWillBegin", ({ guid, suggestedFilename }) => { downloadDone.names.set(guid, suggestedFilename); });
  session.on("Browser.downloadProgress", ({ guid, state }) => {
    if (state === "completed") downloadDone.resolve(downloadDone.names.get(guid));
    if (state === "canceled") downloadDone.reject(new Error("a download was cancelled"));
  });
  page = await browser.newPage();
  page.on("pageerror", (error) => pageErrors.push(error.message));
  page.on("console", (message) => { if (message.type() === "error") pageErrors.push(message.text()); });
  page.on("request", (request) => {
    if (!/^(file|blob|data):/.test(request.url())) pageErrors.push(`a request to ${request.url()}`);
  });
  await page.setViewport({ width: 1440, height: 900 });
  await page.goto(pathToFileURL(LS11_PAGE).href);
});

after(async () => {
  await browser?.close();
  rmSync(work, { recursive: true, force: true });
});

// Runs `click`, then gives the name and bytes of the download it started.
async function downloaded(click) {
  let resolve;
  let reject;
  const finished = new Promise((yes, no) => { resolve = yes; reject = no; });
  downloadDone = { names: new Map(), resolve, reject };
  await click();
  const name = await Promise.race([finished, new Promise((_, no) => {
    setTimeout(() => no(new Error("no download within 20 s")), 20000).unref();
  })]);
  return { name, bytes: readFileSync(join(downloads, name)) };
}

const fileCard = (name) => `[data-testid=file][data-name="${name}"]`;

test("opening: tables as ls11 list shows them, statuses in unls11's words, other files skipped", async () => {
  const input = await page.$("[data-testid=open]");
  await input.uploadFile(...[...opened, "notes.txt"].map((name) => join(inputs, name)));
  await page.waitForFunction((count) => {
    const statuses = [...document.querySelectorAll("[data-testid=file] [data-testid=status]")];
    return statuses.length === count && statuses.every((status) => status.textContent !== "Checking…");
  }, { timeout: 20000 }, opened.length);

  const shown = await page.$$eval("[data-testid=file]", (cards) => cards.map((card) => ({
    name: card.dataset.name,
    status: card.querySelector("[data-testid=status]").textContent,
    entries: [...card.querySelectorAll("[data-testid=entry]")].map((row) => ({
      index: Number(row.dataset.index),
      packed: Number(row.querySelector("[data-field=packed]").textContent),
      unpacked: Number(row.querySelector("[data-field=unpacked]").textContent),
      kind: row.querySelector("[data-field=kind]").textContent,
    })),
  })));
  const statuses = unls11Statuses();
  assert.deepEqual(shown.map((file) => file.name).sort(), [...opened].sort());
  for (const file of shown) {
    assert.equal(file.status, statuses[file.name], file.name);
    if (file.name === "SHORT.LS11") {
      assert.deepEqual(file.entries, []);
      continue;
    }
    const [listed] = JSON.parse(native(LS11_TOOL, "list", "--json", join(inputs, file.name)));
    assert.deepEqual(file.entries, listed.entries.map((e) => ({
      index: e.index, packed: e.packed_size, unpacked: e.unpacked_size,
      kind: e.stored ? "stored" : "compressed" })), file.name);
  }
  assert.equal(statuses["DAMAGED.LS11"], "Failed to decode the file!");
  assert.deepEqual(await page.$$eval("[data-testid=skipped]", (items) => items.map((item) => item.textContent)),
                   ["notes.txt"]);
});

test("downloads: an entry, the decoded file and the zip hold the native tools' bytes", async () => {
  const path = join(inputs, "records.LS11");
  const card = fileCard("records.LS11");
  const entry = await downloaded(() => page.click(`${card} [data-testid=entry][data-index="1"] [data-testid=download-entry]`));
  assert.equal(entry.name, "records.001");
  assert.deepEqual(entry.bytes, native(LS11_TOOL, "cat", path, "1"));

  const decoded = await downloaded(() => page.click(`${card} [data-testid=download-decoded]`));
  assert.equal(decoded.name, "records.DEC");
  assert.deepEqual(decoded.bytes, readFileSync(join(LS11_SAMPLES, "records.expected")));

  const zip = await downloaded(() => page.click(`${card} [data-testid=download-zip]`));
  assert.equal(zip.name, "records.zip");
  const members = JSON.parse(execFileSync("python3", ["-c",
    "import json, sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; " +
    "print(json.dumps({n: z.read(n).hex() for n in z.namelist()}))", join(downloads, zip.name)]));
  const [listed] = JSON.parse(native(LS11_TOOL, "list", "--json", path));
  assert.deepEqual(Object.keys(members), listed.entries.map((e) => `records.${String(e.index).padStart(3, "0")}`));
  listed.entries.forEach((e, i) => assert.equal(Object.values(members)[i],
                                                native(LS11_TOOL, "cat", path, String(e.index)).toString("hex")));
});

test("replace: the file the page offers is ls11 replace's", async () => {
  const replacement = join(inputs, "new-entry.bin");
  writeFileSync(replacement, Buffer.from("a new entry for the grid, ".repeat(40)));
  const card = fileCard("grid.LS11");
  const [chooser] = await Promise.all([
    page.waitForFileChooser(),
    page.click(`${card} [data-testid=entry][data-index="0"] [data-testid=replace-entry]`),
  ]);
  await chooser.accept([replacement]);
  await page.waitForSelector(`${card} [data-testid=download-file]`);
  const replaced = await downloaded(() => page.click(`${card} [data-testid=download-file]`));
  assert.equal(replaced.name, "grid.LS11");
  native(LS11_TOOL, "replace", "-q", join(inputs, "grid.LS11"), "-o", join(work, "grid-replaced.LS11"), `0=${replacement}`);
  assert.deepEqual(replaced.bytes, readFileSync(join(work, "grid-replaced.LS11")));
  assert.equal(await page.$eval(`${card} [data-testid=entry][data-index="0"] [data-field=unpacked]`,
                                (cell) => Number(cell.textContent)), 40 * 26);
});

test("pack: the file the page makes is ls11 pack's", async () => {
  const entries = ["greeting.expected", "records.expected", "table.expected"].map((name) => join(LS11_SAMPLES, name));
  await page.click("#show-pack");
  await (await page.$("[data-testid=pack-input]")).uploadFile(...entries);
  await page.select("#pack-level", "fast");
  await page.select("#pack-format", "12");
  const packed = await downloaded(() => page.click("[data-testid=pack]"));
  assert.equal(packed.name, "NEW.LS11");
  native(LS11_TOOL, "pack", "-q", "-o", join(work, "packed.LS11"), "--format", "12", "--level", "fast", ...entries);
  assert.deepEqual(packed.bytes, readFileSync(join(work, "packed.LS11")));
});

test("preview, a damaged entry's message, screenshots in light and dark, and no error or request on the way", async () => {
  await page.click(`${fileCard("records.LS11")} [data-testid=entry][data-index="1"] [data-testid=preview-entry]`);
  await page.waitForFunction(() => document.querySelector("[data-testid=preview]").textContent.startsWith("00000000"));
  const hex = await page.$eval("[data-testid=preview]", (pre) => pre.textContent.split("\n")[0]);
  const bytes = native(LS11_TOOL, "cat", join(inputs, "records.LS11"), "1").subarray(0, 16);
  assert.ok(hex.includes([...bytes.subarray(0, 8)].map((b) => b.toString(16).padStart(2, "0")).join(" ")), hex);
  await page.click(`${fileCard("DAMAGED.LS11")} [data-testid=entry][data-index="${lastGrid.index}"] [data-testid=preview-entry]`);
  await page.waitForFunction(() => document.querySelector("#progress-text").textContent.endsWith("Failed to decode the file!"));
  await page.click("#tab-text");
  const encodings = await page.$$eval("#encoding option", (options) => options.map((option) => option.value));
  for (const label of ["utf-8", "shift_jis", "euc-kr", "big5", "gbk"]) assert.ok(encodings.includes(label), label);

  // The pictures: a fuller entry in hex, from the top of the page.
  await page.click(`${fileCard("records.LS11")} [data-testid=entry][data-index="0"] [data-testid=preview-entry]`);
  await page.click("#tab-hex");
  await page.evaluate(() => window.scrollTo(0, 0));
  mkdirSync(LS11_SCREENSHOTS, { recursive: true });
  for (const scheme of ["light", "dark"]) {
    await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme }]);
    await page.screenshot({ path: join(LS11_SCREENSHOTS, `ls11kit-${scheme}.png`) });
  }
  assert.deepEqual(pageErrors, []);
});
