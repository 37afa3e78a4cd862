// ls11kit.html in headless Chromium, opened from file:// as a person opens
// it: the samples, damaged files, text in four legacy encodings, a file of
// 100,000 entries and a text file go in through the file input; the tables
// and statuses must be what `ls11 list` and `unls11` say, and what the page
// makes (entries, decoded files, zips, replaced, edited and packed files)
// must be the native tools' bytes. Pictures in light, dark, 1024 and 390
// pixels go to LS11_SCREENSHOTS.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, utimesSync,
         writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { pathToFileURL } from "node:url";

import { launchChromium } from "./page_statuses.mjs";

const { LS11_PAGE, LS11_TOOL, LS11_UNLS11, LS11_SAMPLES, LS11_SCREENSHOTS } = process.env;
const work = mkdtempSync(join(tmpdir(), "ls11kit-page-"));
const inputs = join(work, "inputs");
const downloads = join(work, "downloads");
mkdirSync(inputs);
mkdirSync(downloads);
const native = (tool, ...args) => execFileSync(tool, args, { cwd: work, maxBuffer: 1 << 28 });
const ls11 = (...args) => native(LS11_TOOL, ...args);
const input = (name) => join(inputs, name);
const python = (script, ...args) => execFileSync("python3", ["-c", script, ...args], { maxBuffer: 1 << 28 });
const encode = (text, encoding) => python("import sys; sys.stdout.buffer.write(sys.argv[1].encode(sys.argv[2]))",
                                          text, encoding);
const zipMembers = (path) => JSON.parse(python(
  "import json, sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; " +
  "print(json.dumps({n: z.read(n).hex() for n in z.namelist()}))", path));

// The inputs: every sample, one with a block that cannot decode, one cut
// short, a file that is no LS11 file, game text in four encodings beside a
// binary entry and a 1 MiB one, and a file of 100,000 empty entries.
const samples = readdirSync(LS11_SAMPLES).filter((name) => name.endsWith(".LS11"));
for (const name of samples) copyFileSync(join(LS11_SAMPLES, name), input(name));
const [listedGrid] = JSON.parse(ls11("list", "--json", input("grid.LS11")));
const lastGrid = listedGrid.entries.at(-1);
const damaged = readFileSync(input("grid.LS11"));
damaged.fill(0xff, lastGrid.offset, lastGrid.offset + lastGrid.packed_size);
writeFileSync(input("DAMAGED.LS11"), damaged);
writeFileSync(input("SHORT.LS11"), readFileSync(input("table.LS11")).subarray(0, 400));
writeFileSync(input("notes.txt"), "not an LS11 file\n");
// Damage of every kind, and what the file's line must say of it (numbers
// from the file), or that it is not an LS11 file at all.
const grid = readFileSync(input("grid.LS11"));
// A file past the 64 KiB the page reads for a table, whole and cut short.
writeFileSync(join(work, "large"), Uint8Array.from({ length: 1 << 20 }, (_, i) => (i * 7) >> 3));
ls11("pack", "-q", "--store", "-o", input("BIG.LS11"), join(work, "large"), join(LS11_SAMPLES, "grid.expected"));
const cut = 100000;
const DAMAGE = [  // name, bytes, not LS11, the plain words
  ["EMPTY.LS11", Buffer.alloc(0), true, /empty/],
  ["LS13.LS11", Buffer.concat([Buffer.from("LS13"), grid.subarray(4)]), true, /4c 53 31 33/],
  ["HEADER.LS11", grid.subarray(0, 16), false, /16 bytes/],
  ["HALF.LS11", grid.subarray(0, grid.length >> 1), false, new RegExp(`${grid.length >> 1} bytes`)],
  ["TAIL.LS11", Buffer.concat([grid, Buffer.from("garbage")]), false, new RegExp(`${grid.length + 7} bytes.*${grid.length}`)],
  ["DAMAGED.LS11", null, false, new RegExp(`entry ${lastGrid.index}`)],
  ["CUT.LS11", readFileSync(input("BIG.LS11")).subarray(0, cut), false, new RegExp(`${cut} bytes`)],
  ["notes.txt", null, true, /6e 6f 74 20/],
];
for (const [name, bytes] of DAMAGE) if (bytes) writeFileSync(input(name), bytes);
const notLs11 = DAMAGE.filter(([, , skipped]) => skipped).map(([name]) => name);
const TEXTS = [
  ["shift_jis", "第一章　出陣\n織田信長は尾張の国を統一した。\n「天下布武」の旗を掲げ、京へ向かう。\n"],
  ["euc-kr", "제1장 출진\n고구려의 왕은 군사를 이끌고 남쪽으로 향했다.\n백성들은 그의 이름을 불렀다.\n"],
  ["big5", "第一章 出陣\n曹操率領大軍南下，劉備與孫權聯合抵抗。\n這是三國時代最重要的戰役之一。\n"],
  ["gbk", "第一章 出阵\n曹操率领大军南下，刘备与孙权联合抵抗。\n这是三国时代最重要的战役之一。\n"],
  ["euc-jp", "第二章　上洛\n武田信玄は甲斐の国から京を目指した。\n「風林火山」の旗が進む。\n"],
  ["utf-16le", "Chapter 1: 出陣\nThe army marches to Kyoto.\n"],
];
const BINARY = TEXTS.length;  // entries of texts.LS11 after the texts
const LARGE = TEXTS.length + 1;
TEXTS.forEach(([encoding, text], i) => writeFileSync(join(work, `text${i}`), encode(text, encoding)));
writeFileSync(join(work, "binary"), Uint8Array.from({ length: 256 }, (_, i) => i));
const textEntries = [...TEXTS.map((_, i) => join(work, `text${i}`)), join(work, "binary"), join(work, "large")];
ls11("pack", "-q", "-o", input("texts.LS11"), ...textEntries);
writeFileSync(join(work, "e"), "");
execFileSync(LS11_TOOL, ["pack", "-q", "--store", "-o", input("many.LS11"), ...Array(100000).fill("e")], { cwd: work });
copyFileSync(input("greeting.LS11"), input(".LS11"));
const opened = [...samples, ...DAMAGE.map(([name]) => name), "SHORT.LS11", "texts.LS11", "BIG.LS11"];
const cards = opened.filter((name) => !notLs11.includes(name));

// unls11's word on each file, from its report lines "NAME : MESSAGE", and
// what it writes for each.
const unls11 = (() => {
  const scratch = join(work, "unls11");
  mkdirSync(scratch);
  for (const name of opened) copyFileSync(input(name), join(scratch, name));
  const report = execFileSync(LS11_UNLS11, opened, { cwd: scratch }).toString();
  return { words: Object.fromEntries([...report.matchAll(/^(.+?) : (.+)$/gm)].map(([, name, words]) => [name, words])),
           decoded: (name) => readFileSync(join(scratch, `${name}.DEC`)) };
})();

let browser;
let page;
const pageErrors = [];
const dialogs = [];
let downloadDone;

before(async () => {
  browser = await launchChromium();
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
  page.on("dialog", (dialog) => {
    dialogs.push(dialog.message());
    dialog.accept();
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

const card = (name) => `[data-testid=file][data-name="${name}"]`;
const row = (name, index) => `${card(name)} [data-testid=entry][data-index="${index}"]`;
const message = () => page.$eval("[data-testid=message]", (area) => ({ kind: area.dataset.kind, text: area.textContent,
                                                                       role: area.querySelector("[role]").role }));
const settled = () => page.waitForFunction(() => [...document.querySelectorAll("[data-testid=status]")]
  .every((status) => status.textContent !== "Checking…"), { timeout: 60000 });
const summary = () => page.$eval("[data-testid=summary]", ({ dataset: d }) =>
  ({ files: Number(d.files), ok: Number(d.ok), failed: Number(d.failed), skipped: Number(d.skipped) }));

// Opens files; more than 8 start folded, and are unfolded as a user would.
async function openInputs(...names) {
  await (await page.$("[data-testid=open]")).uploadFile(...names.map(input));
  await settled();
  const folded = await page.$$("[data-testid=file] .fold[aria-expanded=false]:not([hidden])");
  assert.equal(folded.length > 0, names.length > 8);
  for (const button of folded) await button.click();
}

// Clicks a row's button where a person would see it: puppeteer's own
// scrolling can leave it under the page's sticky top bar.
async function clickIn(selector) {
  await page.$eval(selector, (node) => node.scrollIntoView({ block: "center" }));
  await page.click(selector);
}

async function showPreview(name, index) {
  await clickIn(`${row(name, index)} [data-testid=preview-entry]`);
  await page.waitForFunction((title) => document.querySelector("#preview-title").textContent.includes(title),
                             {}, `entry ${index} `);
}

test("opening: tables as ls11 list, statuses as unls11, failing entries marked, a summary", async () => {
  await openInputs(...opened);
  const shown = await page.$$eval("[data-testid=file]", (cards) => cards.map((file) => ({
    name: file.dataset.name,
    status: file.dataset.status,
    words: file.querySelector("[data-testid=status]").textContent,
    detail: file.querySelector("[data-testid=detail]").textContent,
    entries: [...file.querySelectorAll("[data-testid=entry]")].map((entry) => ({
      index: Number(entry.dataset.index), status: entry.dataset.status,
      packed: Number(entry.querySelector("[data-field=packed]").textContent),
      unpacked: Number(entry.querySelector("[data-field=unpacked]").textContent),
      kind: entry.querySelector("[data-field=kind]").textContent,
    })),
  })));
  // Sorted by path, numbers in numeric order, letters without case.
  assert.deepEqual(shown.map((file) => file.name), [...cards].sort((a, b) => a.localeCompare(b, "en", { numeric: true })));
  for (const file of shown) {
    assert.equal(file.words, unls11.words[file.name], file.name);
    assert.equal(file.status === "0", file.words === "OK.", file.name);
    // Every failing file says why in words of its own.
    assert.equal(file.detail === "", file.status === "0", file.name);
    if (file.entries.length === 0) continue;
    const [listed] = JSON.parse(ls11("list", "--json", input(file.name)));
    assert.deepEqual(file.entries.map(({ status, ...entry }) => entry), listed.entries.map((e) => ({
      index: e.index, packed: e.packed_size, unpacked: e.unpacked_size, kind: e.stored ? "stored" : "compressed" })));
  }
  const skipped = await page.$$eval("[data-testid=skipped]", (items) => items.map((item) => item.textContent));
  assert.deepEqual(skipped.map((line) => line.split(" — ")[0]), [...notLs11].sort((a, b) => a.localeCompare(b, "en")));
  for (const [name, , isSkipped, words] of DAMAGE) {
    const detail = isSkipped ? skipped.find((line) => line.startsWith(`${name} — `))
                             : shown.find((file) => file.name === name).detail;
    assert.match(detail, words, name);
  }
  const damagedFile = shown.find((file) => file.name === "DAMAGED.LS11");
  assert.deepEqual(damagedFile.entries.map((entry) => entry.status !== "0"),
                   damagedFile.entries.map((entry) => entry.index === lastGrid.index));
  assert.deepEqual(shown.find((file) => file.name === "SHORT.LS11").entries, []);
  const failed = cards.filter((name) => unls11.words[name] !== "OK.").length;
  assert.deepEqual(await summary(), { files: opened.length, ok: cards.length - failed, failed, skipped: notLs11.length });

  // The same path and bytes again, whatever the file's time: said so, no
  // second line. Other bytes of the same size under the same path and time
  // are another file, whose line is closed again.
  const gridTime = statSync(input("grid.LS11")).mtime;
  const copy = (folder, bytes, time) => {
    mkdirSync(join(work, folder));
    writeFileSync(join(work, folder, "grid.LS11"), bytes);
    utimesSync(join(work, folder, "grid.LS11"), time, time);
    return join(work, folder, "grid.LS11");
  };
  const changed = Buffer.from(grid);
  changed[changed.length - 1] ^= 1;
  const AGAIN = [  // the file given, its line, already open
    [input("grid.LS11"), "grid.LS11", true],
    [copy("touched", grid, new Date(gridTime.getTime() + 60000)), "grid.LS11", true],
    [input("HALF.LS11"), "HALF.LS11", true],
    [copy("changed", changed, gridTime), "grid.LS11", false],
  ];
  for (const [path, name, already] of AGAIN) {
    await page.$eval("#message-dismiss", (button) => button.click());
    await (await page.$("[data-testid=open]")).uploadFile(path);
    await page.waitForFunction(() => document.querySelector("[data-testid=message]").dataset.kind === "done");
    assert.equal((await message()).text.includes("already open"), already, path);
    assert.equal((await page.$$(card(name))).length, already ? 1 : 2, path);
  }
  await settled();
  await page.$$eval(card("grid.LS11"), (lines) => lines.at(-1).querySelector("[aria-label^=Close]").click());
  await page.waitForFunction((selector) => document.querySelectorAll(selector).length === 1, {}, card("grid.LS11"));
});

test("filter and problems only narrow the files and the entries", async () => {
  const problems = cards.filter((name) => unls11.words[name] !== "OK.");
  const withEntry1 = cards.filter((name) => !problems.includes(name) || name === "DAMAGED.LS11")
    .filter((name) => JSON.parse(ls11("list", "--json", input(name)))[0].entries.length > 1);
  const cases = [  // filter, problems only, files shown, entries shown in them
    ["GRID", false, ["DAMAGED.LS11", "grid.LS11"].filter((name) => name.toLowerCase().includes("grid")), null],
    ["1", false, withEntry1, ["1"]],
    ["rec 0-0", false, ["records.LS11"], ["0"]],
    ["", true, problems, null],
  ];
  for (const [filter, problemsOnly, names, indices] of cases) {
    await page.$eval("[data-testid=filter]", (box, value) => {
      box.value = value;
      box.dispatchEvent(new Event("input"));
    }, filter);
    await page.$eval("[data-testid=problems-only]", (box, value) => {
      box.checked = value;
      box.dispatchEvent(new Event("change"));
    }, problemsOnly);
    const shown = await page.$$eval("[data-testid=file]:not([hidden])", (cards) => cards.map((file) =>
      [file.dataset.name, [...file.querySelectorAll("[data-testid=entry]")].map((entry) => entry.dataset.index)]));
    assert.deepEqual(shown.map(([name]) => name).sort(), [...names].sort(), filter);
    if (indices) for (const [name, rows] of shown) assert.deepEqual([...new Set(rows)], indices, name);
  }
  await page.$eval("[data-testid=filter]", (box) => { box.value = ""; box.dispatchEvent(new Event("input")); });
  await page.$eval("[data-testid=problems-only]", (box) => { box.checked = false; box.dispatchEvent(new Event("change")); });
});

test("downloads: an entry, the decoded file and the zip hold the native tools' bytes, damaged files too", async () => {
  const path = input("records.LS11");
  const entry = await downloaded(() => clickIn(`${row("records.LS11", 1)} [data-testid=download-entry]`));
  assert.equal(entry.name, "records.001");
  assert.deepEqual(entry.bytes, ls11("cat", path, "1"));
  const decoded = await downloaded(() => page.click(`${card("records.LS11")} [data-testid=download-decoded]`));
  assert.equal(decoded.name, "records.DEC");
  assert.deepEqual(decoded.bytes, readFileSync(join(LS11_SAMPLES, "records.expected")));
  const zip = await downloaded(() => page.click(`${card("records.LS11")} [data-testid=download-zip]`));
  assert.equal(zip.name, "records.zip");
  const [listed] = JSON.parse(ls11("list", "--json", path));
  assert.deepEqual(zipMembers(join(downloads, zip.name)), Object.fromEntries(listed.entries.map((e) =>
    [`records.${String(e.index).padStart(3, "0")}`, ls11("cat", path, String(e.index)).toString("hex")])));

  // A damaged file: what decodes, as unls11 writes it, and the failure told
  // as an error that stays.
  const partial = await downloaded(() => page.click(`${card("DAMAGED.LS11")} [data-testid=download-decoded]`));
  assert.deepEqual(partial.bytes, unls11.decoded("DAMAGED.LS11"));
  await new Promise((resolve) => setTimeout(resolve, 300));
  const told = await message();
  assert.equal(told.kind, "error");
  assert.equal(told.role, "alert");
  assert.match(told.text, new RegExp(`DAMAGED.LS11, entry ${lastGrid.index}`));
  const partialZip = await downloaded(() => page.click(`${card("DAMAGED.LS11")} [data-testid=download-zip]`));
  assert.deepEqual(Object.keys(zipMembers(join(downloads, partialZip.name))),
                   listedGrid.entries.filter((e) => e.index !== lastGrid.index).map((e) => `DAMAGED.${String(e.index).padStart(3, "0")}`));
  assert.equal((await message()).kind, "error");
});

test("changes: replaced by button and by drop, marked, undone, and downloaded as ls11 replace makes them", async () => {
  const replacement = join(work, "new-entry.bin");
  writeFileSync(replacement, Buffer.from("a new entry for the grid, ".repeat(40)));
  const [chooser] = await Promise.all([page.waitForFileChooser(),
                                       clickIn(`${row("grid.LS11", 0)} [data-testid=replace-entry]`)]);
  await chooser.accept([replacement]);
  await page.waitForSelector(`${row("grid.LS11", 0)}[data-changed=true]`);
  // Focus goes to what the change offers: the changed file.
  assert.equal(await page.evaluate(() => document.activeElement.dataset.testid), "download-file");
  // Dropped on the file's line: a file named after entry 1 replaces it; any
  // other name is refused and changes nothing.
  const drop = (name, text) => page.$eval(`${card("grid.LS11")} h3`, (title, name, text) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([text], name));
    title.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, name, text);
  await drop("other.bin", "x");
  await page.waitForFunction(() => document.querySelector("[data-testid=message]").dataset.kind === "error");
  await drop("grid.001", "entry one, dropped");
  await page.waitForSelector(`${row("grid.LS11", 1)}[data-changed=true]`);
  writeFileSync(join(work, "grid.001"), "entry one, dropped");
  const expected = (...pairs) => {
    ls11("replace", "-q", "-f", input("grid.LS11"), "-o", join(work, "grid-replaced.LS11"), ...pairs);
    return readFileSync(join(work, "grid-replaced.LS11"));
  };
  const both = await downloaded(() => page.click(`${card("grid.LS11")} [data-testid=download-file]`));
  assert.equal(both.name, "grid.LS11");
  assert.deepEqual(both.bytes, expected(`0=${replacement}`, `1=${join(work, "grid.001")}`));
  await page.click(`${card("grid.LS11")} [data-testid=changes] li:last-child [data-testid=undo]`);
  await page.waitForFunction((selector) => !document.querySelector(selector).dataset.changed, {},
                             `${row("grid.LS11", 1)}`);
  const one = await downloaded(() => page.click(`${card("grid.LS11")} [data-testid=download-file]`));
  assert.deepEqual(one.bytes, expected(`0=${replacement}`));
  const all = await downloaded(() => page.click("[data-testid=download-changed]"));
  assert.deepEqual(zipMembers(join(downloads, all.name)), { "grid.LS11": one.bytes.toString("hex") });
});

test("text: the encoding guessed, edited in its own encoding as ls11 replace makes it, refusals told", async () => {
  for (const [index, [encoding]] of TEXTS.entries()) {
    await showPreview("texts.LS11", index);
    await page.click("#tab-text");
    assert.equal(await page.$eval("[data-testid=encoding]", (select) => select.value), encoding);
  }
  // Edit the Shift_JIS text (entry 0); a character EUC-KR cannot hold is
  // refused in entry 1 with its line.
  const [[encoding, text]] = TEXTS;
  await showPreview("texts.LS11", 0);
  await page.click("[data-testid=edit]");
  assert.equal(await page.$eval("[data-testid=editor]", (editor) => editor.value), text);
  const edited = `${text}第二章　上洛\n`;
  await page.$eval("[data-testid=editor]", (editor, value) => { editor.value = value; }, edited);
  await page.click("[data-testid=save-edit]");
  await page.waitForSelector(`${row("texts.LS11", 0)}[data-changed=true]`);
  writeFileSync(join(work, "edited"), encode(edited, encoding));
  const saved = await downloaded(() => page.click(`${card("texts.LS11")} [data-testid=download-file]`));
  ls11("replace", "-q", input("texts.LS11"), "-o", join(work, "texts-edited.LS11"), `0=${join(work, "edited")}`);
  assert.deepEqual(saved.bytes, readFileSync(join(work, "texts-edited.LS11")));

  await showPreview("texts.LS11", 1);
  await page.click("[data-testid=edit]");
  await page.$eval("[data-testid=editor]", (editor) => { editor.value = `${editor.value}😀\n`; });
  await page.click("[data-testid=save-edit]");
  const refused = await message();
  assert.equal(refused.kind, "error");
  assert.match(refused.text, /Line 4: "😀".*euc-kr/);
  assert.equal(await page.$(`${row("texts.LS11", 1)}[data-changed=true]`), null);

  // Binary bytes are edited in hex: the first byte becomes ab. Leaving the
  // refused edit for it is asked about first.
  await showPreview("texts.LS11", BINARY);
  assert.deepEqual(dialogs.splice(0), ["Entry 1 of texts.LS11 has an edit that was not saved. Drop it?"]);
  await page.click("#tab-text");
  await page.click("[data-testid=edit]");
  await page.keyboard.type("ab");
  await page.click("[data-testid=save-edit]");
  await page.waitForSelector(`${row("texts.LS11", BINARY)}[data-changed=true]`);
  const binary = readFileSync(join(work, "binary"));
  binary[0] = 0xab;
  writeFileSync(join(work, "binary-edited"), binary);
  const hexEdited = await downloaded(() => page.click(`${card("texts.LS11")} [data-testid=download-file]`));
  ls11("replace", "-q", "-f", input("texts.LS11"), "-o", join(work, "texts-edited.LS11"),
       `0=${join(work, "edited")}`, `${BINARY}=${join(work, "binary-edited")}`);
  assert.deepEqual(hexEdited.bytes, readFileSync(join(work, "texts-edited.LS11")));
});

test("preview: the whole entry scrolls, go to an offset, find bytes and text in one selection", async () => {
  const large = readFileSync(join(work, "large"));
  await showPreview("texts.LS11", LARGE);
  await page.click("#tab-hex");
  const lineAt = (offset) => page.$$eval(".view .l", (lines, offset) =>
    lines.map((line) => line.textContent).find((text) => text.startsWith(offset)), offset.toString(16).padStart(8, "0"));
  const hexOf = (bytes) => [...bytes].map((b) => b.toString(16).padStart(2, "0")).join("");
  for (const offset of [0x10, large.length - 16]) {
    await page.$eval("[data-testid=goto]", (box, value) => { box.value = value; }, `0x${offset.toString(16)}`);
    await page.$eval("#goto-form", (form) => form.requestSubmit());
    const line = await lineAt(offset);
    assert.ok(line?.replace(/\s/g, "").includes(hexOf(large.subarray(offset, offset + 16))), line);
  }
  assert.ok(await page.$$eval(".view .l", (lines) => lines.length < 200), "only the lines in view are drawn");
  // A click on a byte selects it.
  const point = await page.evaluate((offset) => {
    const line = [...document.querySelectorAll(".view .l")].find((node) => node.textContent.startsWith(offset));
    const range = document.createRange();
    range.setStart(line.querySelector(".h").firstChild, 9);  // the fourth byte's first digit
    range.setEnd(line.querySelector(".h").firstChild, 10);
    const rect = range.getBoundingClientRect();
    return { x: rect.x + rect.width / 2, y: rect.y + rect.height / 2 };
  }, (large.length - 64).toString(16).padStart(8, "0"));
  await page.mouse.click(point.x, point.y);
  assert.deepEqual(await page.$$eval(".view .h .s", (bytes) => bytes.map((b) => Number(b.dataset.at))),
                   [large.length - 64 + 3]);
  // Find: hex bytes, then text in the entry's encoding, the same selection
  // in hex and text.
  const target = 0x54321;
  await page.select("#search-kind", "hex");
  await page.$eval("[data-testid=search]", (box, value) => { box.value = value; }, hexOf(large.subarray(target, target + 6)));
  await page.$eval("#search-form", (form) => form.requestSubmit());
  const first = large.indexOf(large.subarray(target, target + 6));
  assert.deepEqual(await page.$$eval(".view .h .s", (bytes) => bytes.map((b) => Number(b.dataset.at))),
                   [0, 1, 2, 3, 4, 5].map((i) => first + i));
  await showPreview("texts.LS11", 2);
  await page.click("#tab-text");
  await page.select("#search-kind", "text");
  await page.$eval("[data-testid=search]", (box) => { box.value = "孫權"; });
  await page.$eval("#search-form", (form) => form.requestSubmit());
  assert.equal(await page.$eval(".view .s", (mark) => mark.textContent), "孫權");
  await page.click("#tab-hex");
  const at = encode(TEXTS[2][1], "big5").indexOf(encode("孫權", "big5"));
  assert.deepEqual(await page.$$eval(".view .h .s", (bytes) => bytes.map((b) => Number(b.dataset.at))), [at, at + 1, at + 2, at + 3]);
});

test("keyboard: into the preview and back, next entry, the filter shortcut, focus after a replacement", async () => {
  await clickIn(`${row("records.LS11", 0)} [data-testid=preview-entry]`);
  await page.waitForFunction(() => document.activeElement?.id === "view");
  await page.keyboard.press("n");
  await page.waitForFunction(() => document.querySelector("#preview-title").textContent.includes("entry 1 "));
  await page.keyboard.press("Escape");
  assert.equal(await page.evaluate(() => document.activeElement.closest("tr")?.dataset.index), "1");
  assert.equal(await page.$eval("[data-testid=preview]", (panel) => panel.hidden), true);
  await page.keyboard.press("/");
  assert.equal(await page.evaluate(() => document.activeElement.dataset.testid), "filter");
  // Down from a file's line goes to the next file's.
  await page.focus(`${card("grid.LS11")} .fold`);
  await page.keyboard.press("ArrowDown");
  const names = await page.$$eval("[data-testid=file]", (files) => files.map((file) => file.dataset.name));
  assert.equal(await page.evaluate(() => document.activeElement.closest("[data-testid=file]").dataset.name),
               names[names.indexOf("grid.LS11") + 1]);
  assert.ok(await page.$$eval("table caption", (captions) => captions.every((caption) => caption.textContent)));
});

test("pack: reordered by keyboard and by dragging, one removed, the file is ls11 pack's, and it opens in the page", async () => {
  const entries = ["greeting.expected", "records.expected", "table.expected"].map((name) => join(LS11_SAMPLES, name));
  await page.click("#show-pack");
  await (await page.$("[data-testid=pack-input]")).uploadFile(...entries);
  await page.focus("[data-testid=pack-item][data-at='2']");
  await page.keyboard.down("Alt");
  await page.keyboard.press("ArrowUp");
  await page.keyboard.up("Alt");
  // Dragged: the last of greeting, table, records goes first.
  await page.$eval("[data-testid=pack-item][data-at='2']", (item) => {
    const transfer = new DataTransfer();
    item.dispatchEvent(new DragEvent("dragstart", { dataTransfer: transfer, bubbles: true }));
    const first = item.parentElement.children[0];
    first.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  });
  await page.click("[data-testid=pack-item][data-at='1'] [data-testid=pack-remove]");
  await page.select("#pack-level", "fast");
  await page.select("#pack-format", "12");
  const packed = await downloaded(() => page.click("[data-testid=pack]"));
  assert.equal(packed.name, "NEW.LS11");
  ls11("pack", "-q", "-o", join(work, "packed.LS11"), "--format", "12", "--level", "fast", entries[1], entries[2]);
  assert.deepEqual(packed.bytes, readFileSync(join(work, "packed.LS11")));
  assert.match(await page.$eval("[data-testid=pack-result]", (line) => line.textContent), new RegExp(`${packed.bytes.length.toLocaleString("en")} bytes`));
  await page.click("[data-testid=pack-open]");
  await page.waitForSelector(`${card("NEW.LS11")} [data-testid=status]:not(.pending)`);
  assert.equal(await page.$eval(card("NEW.LS11"), (file) => file.dataset.status), "0");
  // Esc closes the panel, and focus goes back to the button that opened it.
  await page.focus("#pack-name");
  await page.keyboard.press("Escape");
  assert.deepEqual(await page.evaluate(() => [document.querySelector("#pack").hidden, document.activeElement.id]),
                   [true, "show-pack"]);
});

test("closing while files open, 100,000 entries, a file named .LS11, ZIP64", async () => {
  await page.click("#close-all");
  await (await page.$("[data-testid=open]")).uploadFile(...opened.map(input));
  await page.click("#close-all");
  await new Promise((resolve) => setTimeout(resolve, 1000));
  assert.equal((await page.$$("[data-testid=file]")).length, 0);
  assert.deepEqual(pageErrors, []);

  await openInputs("many.LS11", ".LS11");
  assert.ok(await page.$$eval(`${card("many.LS11")} [data-testid=entry]`, (rows) => rows.length > 0 && rows.length < 200));
  await page.$eval(`${card("many.LS11")} .table-wrap`, (wrap) => { wrap.scrollTop = wrap.scrollHeight; });
  await page.waitForSelector(row("many.LS11", 99999));
  const zip = await downloaded(() => page.click(`${card("many.LS11")} [data-testid=download-zip]`));
  const count = python("import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; " +
                       "n = z.namelist(); print(len(n), n[-1])", join(downloads, zip.name)).toString().trim();
  assert.equal(count, "100000 many.99999");
  for (const [button, name] of [["download-decoded", "LS11.DEC"], ["download-zip", "LS11.zip"]]) {
    assert.equal((await downloaded(() => page.click(`${card(".LS11")} [data-testid=${button}]`))).name, name);
  }
  assert.equal((await downloaded(() => clickIn(`${row(".LS11", 0)} [data-testid=download-entry]`))).name, "LS11.000");

  // A change not downloaded is asked about before it is closed away.
  await page.$eval(`${row(".LS11", 0)}`, (entry) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File(["changed"], "anything.bin"));
    entry.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  });
  await page.waitForSelector(`${row(".LS11", 0)}[data-changed=true]`);
  assert.deepEqual(dialogs, []);
  await page.click(`${card(".LS11")} [aria-label="Close .LS11"]`);
  assert.equal(dialogs.length, 1);
  assert.match(dialogs[0], /\.LS11 has changes that were not downloaded/);
  assert.equal(await page.$(card(".LS11")), null);
});

test("encodings: the encoding picked by hand is remembered and tried first after a reload", async () => {
  const textOf = async () => [await page.$eval("[data-testid=encoding]", (select) => select.value),
                              await page.$eval("[data-testid=encoding-note]", (note) => note.textContent)];
  await openInputs("greeting.LS11");
  await showPreview("greeting.LS11", 1);
  await page.click("#tab-text");
  assert.deepEqual(await textOf(), ["utf-8", "guessed"]);
  await page.select("[data-testid=encoding]", "euc-kr");
  assert.deepEqual(await textOf(), ["euc-kr", "your choice"]);
  await page.reload();
  await openInputs("greeting.LS11", "texts.LS11");
  await showPreview("greeting.LS11", 1);
  await page.click("#tab-text");
  assert.deepEqual(await textOf(), ["euc-kr", "guessed"]);
  // A text that reads better in another encoding still gets that one.
  await showPreview("texts.LS11", 0);
  assert.deepEqual(await textOf(), ["shift_jis", "guessed"]);
});

test("layouts from 390 to 1920 pixels, pictures, and no error or request on the way", async () => {
  await page.click("#close-all");
  await openInputs(...opened);
  await clickIn(`${row("texts.LS11", 0)} [data-testid=preview-entry]`);
  await page.click("#tab-text");
  const overlaps = () => page.evaluate(() => {
    const side = document.querySelector(".side").getBoundingClientRect();
    const hit = (rect) => rect.width > 0 && rect.left < side.right && rect.right > side.left &&
                          rect.top < side.bottom && rect.bottom > side.top;
    // A table's buttons are in view only inside its box, which must not
    // need sideways scrolling to reach them.
    const clipped = (node) => {
      const rect = node.getBoundingClientRect();
      const box = node.closest(".table-wrap")?.getBoundingClientRect() ?? rect;
      return new DOMRect(rect.left, Math.max(rect.top, box.top), rect.width,
                         Math.max(0, Math.min(rect.bottom, box.bottom) - Math.max(rect.top, box.top)));
    };
    return [...document.querySelectorAll(".file button, .file h3")]
      .filter((node) => node.offsetParent && hit(clipped(node))).map((node) => node.textContent)
      .concat([...document.querySelectorAll(".table-wrap")].filter((wrap) => wrap.scrollWidth > wrap.clientWidth + 1)
                .map((wrap) => `${wrap.closest(".file").dataset.name} scrolls sideways`));
  });
  for (const width of [1024, 1280, 1366, 1440, 1920]) {
    await page.setViewport({ width, height: 900 });
    assert.deepEqual(await overlaps(), [], `${width} px`);
  }
  mkdirSync(LS11_SCREENSHOTS, { recursive: true });
  for (const [name, width, height, scheme] of [["light", 1440, 900, "light"], ["dark", 1440, 900, "dark"],
                                               ["1024", 1024, 768, "light"], ["390", 390, 844, "light"]]) {
    await page.setViewport({ width, height });
    await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme }]);
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: join(LS11_SCREENSHOTS, `ls11kit-${name}.png`) });
  }
  // A phone: no sideways scroll, a short top bar, and the preview opens over
  // the list, in view, for a file far down.
  assert.deepEqual(await page.evaluate(() => [document.documentElement.scrollWidth,
                                              document.querySelector(".bar").getBoundingClientRect().height <= 844 / 6,
                                              [...document.querySelectorAll(".table-wrap")]
                                                .filter((wrap) => wrap.scrollWidth > wrap.clientWidth + 1).length]),
                   [390, true, 0]);
  await page.click("#preview-close");
  await page.$eval(card("texts.LS11"), (file) => file.scrollIntoView());
  await clickIn(`${row("texts.LS11", 3)} [data-testid=preview-entry]`);
  await page.waitForFunction(() => document.querySelector("#preview-title").textContent.includes("entry 3 "));
  const box = await page.$eval("[data-testid=preview]", (panel) => panel.getBoundingClientRect().toJSON());
  assert.ok(box.top >= 0 && box.bottom <= 844 + 1 && box.right <= 390, JSON.stringify(box));
  await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);
  // A form may not send anything anywhere.
  await page.evaluate(() => {
    const form = Object.assign(document.createElement("form"), { method: "post", action: "http://127.0.0.1:9/" });
    document.body.append(form);
    form.submit();
  });
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.deepEqual(pageErrors.filter((error) => !/Content Security Policy|form-action/.test(error)), []);
});
