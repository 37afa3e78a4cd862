// ls11kit.html: the page's side. Every call into the library goes to the
// worker (worker.js with ls11.js), which the page starts from its own text,
// so that nothing is fetched and long work never freezes the page.
const $ = (id) => document.getElementById(id);

function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === "class") node.className = value;
    else if (name.startsWith("on")) node.addEventListener(name.slice(2), value);
    else if (value !== false && value !== undefined) node.setAttribute(name, value === true ? "" : value);
  }
  node.append(...children.filter((child) => child !== null && child !== undefined));
  return node;
}

// --- The worker ------------------------------------------------------------

const worker = new Worker(URL.createObjectURL(new Blob([$("worker-source").textContent],
                                                      { type: "text/javascript" })));
const pending = new Map();
let nextCall = 1;
let markReady;
const ready = new Promise((resolve) => { markReady = resolve; });

worker.onmessage = ({ data }) => {
  if (data.ready) return markReady(data.ready);
  if (data.failed) return showError(`The page could not start its worker: ${data.failed}`);
  const call = pending.get(data.id);
  if (data.progress) return call.onProgress?.(data.progress);
  pending.delete(data.id);
  if ("error" in data) call.reject(new Error(data.error));
  else call.resolve(data.result);
};
worker.onerror = (event) => showError(`The page could not start its worker: ${event.message}`);

async function call(op, request, transfer = [], onProgress = null) {
  await ready;
  const id = nextCall++;
  return new Promise((resolve, reject) => {
    pending.set(id, { resolve, reject, onProgress });
    worker.postMessage({ id, op, ...request }, transfer);
  });
}

// --- Progress and messages ---------------------------------------------------

let busy = 0;
function startWork(text) {
  ++busy;
  setProgress(text);
  $("progress").hidden = false;
  return () => { if (--busy === 0) $("progress").hidden = true; };
}

function setProgress(text, done, total) {
  $("progress-text").textContent = text;
  const bar = $("progress-bar");
  bar.hidden = false;
  if (total) {
    bar.max = total;
    bar.value = done;
  } else {
    bar.removeAttribute("value");
  }
}

function showError(text) {
  $("progress").hidden = false;
  $("progress-text").textContent = text;
  $("progress-bar").hidden = true;
}

function download(bytes, name) {
  const url = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  const link = element("a", { href: url, download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

const baseName = (name) => name.replace(/\.[^.]*$/, "");
const entryName = (name, index) => `${baseName(name)}.${String(index).padStart(3, "0")}`;
const ratio = (packed, unpacked) => (unpacked === 0 ? "-" : `${((100 * packed) / unpacked).toFixed(1)}%`);
const sizeText = (n) => (n < 1024 ? `${n} bytes` : n < 1048576 ? `${(n / 1024).toFixed(1)} KiB`
                                                         : `${(n / 1048576).toFixed(1)} MiB`);

// --- Opened files ------------------------------------------------------------

const files = new Map();  // id -> {name, path, card, entries, bytes (after a replacement)}
let nextFile = 1;

function statusClass(text) {
  return text === "OK." ? "status ok" : "status bad";
}

function setStatus(file, text) {
  const status = file.card.querySelector("[data-testid=status]");
  status.textContent = text;
  status.className = statusClass(text);
}

function fileCard(file) {
  const card = element("article", { class: "file", "data-testid": "file", "data-name": file.name,
                                    "aria-label": file.path });
  card.append(element("header", {},
    element("h3", {}, file.path),
    element("span", { class: "badge", "data-field": "format" }),
    element("span", { class: "status pending", "data-testid": "status" }, "Checking…"),
    element("div", { class: "tools" },
      element("button", { type: "button", class: "button needs-table", "data-testid": "download-decoded",
                          onclick: () => downloadDecoded(file) }, `Decoded file (${baseName(file.name)}.DEC)`),
      element("button", { type: "button", class: "button needs-table", "data-testid": "download-zip",
                          onclick: () => downloadZip(file) }, "All entries (.zip)"),
      element("button", { type: "button", class: "button quiet", "aria-label": `Close ${file.path}`,
                          onclick: () => closeFile(file) }, "Close"))),
  element("div", { class: "note", "data-testid": "note" }),
  element("details", { class: "entries", open: file.expanded },
    element("summary", {}, "Entries"), element("div", { class: "table-wrap" })),
  element("input", { type: "file", class: "visually-hidden", "data-testid": "replace", tabindex: "-1",
                     "aria-hidden": "true" }));
  file.card = card;
  answerRows(file);
  return card;
}

// A file with an LS11 header that does not open: its message alone.
function showUnopened(file, status) {
  setStatus(file, status);
  for (const part of file.card.querySelectorAll("[data-field=format], .entries, .needs-table")) part.remove();
}

// The rows are made as one piece of HTML, and their buttons answered by
// one listener on the card: a game folder's thousands of entries show at
// once. A row's Replace button opens the card's one file input.
function entryRow(e) {
  return `<tr data-testid="entry" data-index="${e.index}"><td data-field="index">${e.index}</td>` +
    `<td data-field="offset">${e.dataOffset}</td><td data-field="packed">${e.packedSize}</td>` +
    `<td data-field="unpacked">${e.unpackedSize}</td>` +
    `<td data-field="kind" class="kind">${e.stored ? "stored" : "compressed"}</td>` +
    `<td data-field="ratio">${ratio(e.packedSize, e.unpackedSize)}</td><td class="act">` +
    `<button type="button" class="button small" data-testid="preview-entry" aria-label="Preview entry ${e.index}">Preview</button> ` +
    `<button type="button" class="button small" data-testid="download-entry" aria-label="Download entry ${e.index}">Download</button> ` +
    `<button type="button" class="button small" data-testid="replace-entry" aria-label="Replace entry ${e.index}" ` +
    `title="Or drop a file on this row">Replace…</button></td></tr>`;
}

function renderTable(file, { format, entries }) {
  file.entries = entries;
  file.card.querySelector("[data-field=format]").textContent = `LS${format}`;
  const totalPacked = entries.reduce((sum, e) => sum + e.packedSize, 0);
  const totalUnpacked = entries.reduce((sum, e) => sum + e.unpackedSize, 0);
  file.card.querySelector("summary").textContent = `${entries.length} ${entries.length === 1 ? "entry" : "entries"}, ` +
    `${sizeText(totalPacked)} packed, ${sizeText(totalUnpacked)} decoded`;
  file.card.querySelector(".table-wrap").innerHTML = "<table><thead><tr>" +
    ["entry", "offset", "packed", "unpacked", "kind", "ratio", ""]
      .map((heading) => `<th scope="col"${heading === "kind" ? ' class="kind"' : ""}>${heading}</th>`).join("") +
    `</tr></thead><tbody>${entries.map(entryRow).join("")}</tbody>` +
    `<tfoot><tr><td>total</td><td></td><td data-field="packed">${totalPacked}</td>` +
    `<td data-field="unpacked">${totalUnpacked}</td><td></td><td>${ratio(totalPacked, totalUnpacked)}</td><td></td></tr></tfoot></table>`;
}

// What the card's entry rows ask for: their buttons, their replace inputs,
// and files dropped on them.
function answerRows(file) {
  const indexOf = (node) => Number(node.closest("tr[data-index]")?.dataset.index);
  const card = file.card;
  const input = card.querySelector("[data-testid=replace]");
  card.addEventListener("click", (event) => {
    const button = event.target.closest("tr[data-index] button");
    if (!button) return;
    const index = indexOf(button);
    const failed = (error) => showError(`${file.name}, entry ${index}: ${error.message}`);
    if (button.dataset.testid === "preview-entry") preview(file, index).catch(failed);
    if (button.dataset.testid === "download-entry") downloadEntry(file, index).catch(failed);
    if (button.dataset.testid === "replace-entry") {
      input.dataset.index = index;
      input.click();
    }
  });
  input.addEventListener("change", () => {
    replaceEntry(file, Number(input.dataset.index), input.files[0]);
    input.value = "";
  });
  let target = null;
  const mark = (row) => {
    target?.classList.remove("drop-target");
    target = row;
    target?.classList.add("drop-target");
  };
  card.addEventListener("dragover", (event) => {
    const row = event.target.closest("tbody tr[data-index]");
    if (!row) return;
    event.preventDefault();
    event.stopPropagation();
    mark(row);
  });
  card.addEventListener("dragleave", (event) => {
    if (!card.contains(event.relatedTarget)) mark(null);
  });
  card.addEventListener("drop", (event) => {
    const row = event.target.closest("tbody tr[data-index]");
    if (!row) return;
    event.preventDefault();
    event.stopPropagation();
    mark(null);
    $("drop-overlay").hidden = true;
    if (event.dataTransfer.files.length > 0) replaceEntry(file, indexOf(row), event.dataTransfer.files[0]);
  });
}

function addSkipped(names) {
  if (names.length === 0) return;
  const box = $("skipped");
  box.hidden = false;
  const list = box.querySelector("ul") ?? box.appendChild(element("details", {},
    element("summary", {}), element("ul"))).querySelector("ul");
  for (const name of names) list.append(element("li", { "data-testid": "skipped" }, name));
  box.querySelector("summary").textContent =
    `${list.children.length} ${list.children.length === 1 ? "file" : "files"} skipped: not LS11 files`;
}

// Opens files (File objects, each with the path it was found under). Only
// the first 4 bytes are read here to recognise a file, so a game folder's
// other files cost nothing; the worker reads the rest and sends each
// file's table as soon as it has it.
const EXPANDED_FILES = 8;

async function openFiles(found) {
  if (found.length === 0) return;
  const done = startWork(`Reading ${found.length} ${found.length === 1 ? "file" : "files"}…`);
  try {
    const headers = await Promise.all(found.map(({ file }) => file.slice(0, 4).text()));
    const isLs11 = (i) => /^LS1[012]$/.test(headers[i]);
    addSkipped(found.filter((_, i) => !isLs11(i)).map(({ path }) => path));
    const opened = found.filter((_, i) => isLs11(i))
      .map(({ file, path }) => ({ id: nextFile++, name: file.name, path, file }));
    // A folder's worth of files opens with each table folded, so that the
    // page only draws the ones asked for.
    for (const file of opened) {
      file.expanded = opened.length <= EXPANDED_FILES;
      fileCard(file);
      files.set(file.id, file);
    }
    $("empty").hidden = opened.length > 0 || files.size > 0;
    $("close-all").disabled = files.size === 0;
    $("files").append(...opened.map((file) => file.card));
    // Tables that arrive between two frames are drawn together.
    let shown = 0;
    let waiting = [];
    const draw = () => {
      for (const result of waiting) {
        const file = files.get(result.id);
        if (result.failed) showUnopened(file, result.status);
        else renderTable(file, result);
      }
      shown += waiting.length;
      waiting = [];
      setProgress(`Opened ${shown} of ${opened.length}`, shown, opened.length);
    };
    await call("open", { files: opened.map(({ id, file }) => ({ id, file })) }, [], (state) => {
      if (state.opened) {
        if (waiting.push(state.opened) === 1) requestAnimationFrame(draw);
      } else if (state.checked) {
        setStatus(files.get(state.checked.id), state.checked.status);
        setProgress(`Checked ${state.done} of ${state.total}`, state.done, state.total);
      }
    });
    for (const file of opened) delete file.file;
  } catch (error) {
    showError(error.message);
  } finally {
    done();
  }
}

async function closeFile(file) {
  file.card.remove();
  files.delete(file.id);
  if (previewed?.file === file) $("preview").hidden = true;
  if (files.size === 0) {
    $("empty").hidden = false;
    $("close-all").disabled = true;
  }
  await call("close", { file: file.id });
}

async function downloadEntry(file, index) {
  download(await call("read", { file: file.id, index }), entryName(file.name, index));
}

async function downloadDecoded(file) {
  const done = startWork(`Decoding ${file.name}…`);
  try {
    download(await call("decoded", { file: file.id }), `${baseName(file.name)}.DEC`);
  } catch (error) {
    showError(`${file.name}: ${error.message}`);
  } finally {
    done();
  }
}

async function downloadZip(file) {
  const done = startWork(`Collecting the entries of ${file.name}…`);
  try {
    const zip = await call("zip", { file: file.id, name: file.name }, [],
                           ({ done: n, total }) => setProgress(`Entry ${n} of ${total}`, n, total));
    download(zip, `${baseName(file.name)}.zip`);
  } catch (error) {
    showError(`${file.name}: ${error.message}`);
  } finally {
    done();
  }
}

async function replaceEntry(file, index, replacement) {
  if (!replacement) return;
  const done = startWork(`Replacing entry ${index} of ${file.name}…`);
  try {
    const buffer = await replacement.arrayBuffer();
    const result = await call("replace", { file: file.id, index, buffer }, [buffer]);
    file.bytes = result.bytes;
    file.replaced = [...(file.replaced ?? []), `entry ${index} (${replacement.name})`];
    renderTable(file, result);
    setStatus(file, result.status);
    file.card.querySelector("[data-testid=note]").replaceChildren(
      `Replaced ${file.replaced.join(", ")}. `,
      element("button", { type: "button", class: "button small primary", "data-testid": "download-file",
                          onclick: () => download(file.bytes, file.name) }, `Download ${file.name}`));
    if (previewed?.file === file && previewed.index === index) preview(file, index);
  } catch (error) {
    showError(`${file.name}, entry ${index}: ${error.message}`);
  } finally {
    done();
  }
}

// --- Preview -----------------------------------------------------------------

const HEX_LINES = 4096;  // 64 KiB at a time
const ENCODINGS = ["utf-8", "shift_jis", "euc-jp", "iso-2022-jp", "euc-kr", "big5", "gbk", "gb18030",
  "utf-16le", "utf-16be", "windows-1252", "windows-1250", "windows-1251", "windows-1253", "windows-1254",
  "windows-1255", "windows-1256", "windows-1257", "windows-1258", "windows-874", "iso-8859-2", "iso-8859-3",
  "iso-8859-4", "iso-8859-5", "iso-8859-6", "iso-8859-7", "iso-8859-8", "iso-8859-10", "iso-8859-13",
  "iso-8859-14", "iso-8859-15", "iso-8859-16", "koi8-r", "koi8-u", "ibm866", "macintosh", "x-mac-cyrillic"]
  .filter((label) => { try { new TextDecoder(label); return true; } catch { return false; } });
$("encoding").append(...ENCODINGS.map((label) => element("option", { value: label }, label)));

let previewed = null;  // {file, index, bytes, mode, lines}

async function preview(file, index) {
  const bytes = await call("read", { file: file.id, index });
  for (const row of document.querySelectorAll("tr.selected")) row.classList.remove("selected");
  file.card.querySelector(`tr[data-index="${index}"]`)?.classList.add("selected");
  previewed = { file, index, bytes, mode: previewed?.mode ?? "hex", lines: HEX_LINES };
  if (busy === 0) $("progress").hidden = true;  // an earlier failure's message
  $("preview").hidden = false;
  $("preview-title").textContent = `${entryName(file.name, index)} · ${sizeText(bytes.length)}`;
  showPreview();
}

function hexLine(bytes, offset) {
  const row = bytes.subarray(offset, offset + 16);
  let hex = "";
  let text = "";
  for (let i = 0; i < 16; ++i) {
    hex += i < row.length ? row[i].toString(16).padStart(2, "0") + " " : "   ";
    if (i === 7) hex += " ";
    if (i < row.length) text += row[i] >= 0x20 && row[i] < 0x7f ? String.fromCharCode(row[i]) : ".";
  }
  return `${offset.toString(16).padStart(8, "0")}  ${hex} ${text}`;
}

function showPreview() {
  const { bytes, mode, lines } = previewed;
  const body = $("preview-body");
  $("tab-hex").setAttribute("aria-selected", String(mode === "hex"));
  $("tab-text").setAttribute("aria-selected", String(mode === "text"));
  $("encoding-label").hidden = mode !== "text";
  body.className = mode;
  const shown = Math.min(bytes.length, lines * 16);
  if (mode === "hex") {
    const out = [];
    for (let offset = 0; offset < shown; offset += 16) out.push(hexLine(bytes, offset));
    body.textContent = bytes.length === 0 ? "(empty entry)" : out.join("\n");
  } else {
    body.textContent = new TextDecoder($("encoding").value).decode(bytes.subarray(0, shown));
  }
  const more = $("preview-more");
  more.hidden = shown >= bytes.length;
  more.textContent = `Show more (${sizeText(shown)} of ${sizeText(bytes.length)} shown)`;
}

$("tab-hex").onclick = () => { previewed.mode = "hex"; showPreview(); };
$("tab-text").onclick = () => { previewed.mode = "text"; showPreview(); };
$("encoding").onchange = showPreview;
$("preview-more").onclick = () => { previewed.lines *= 4; showPreview(); };

// --- Pack --------------------------------------------------------------------

const packFiles = [];

function addPackFiles(list) {
  packFiles.push(...list);
  $("pack-list").replaceChildren(...packFiles.map((file) =>
    element("li", {}, `${file.name} · ${sizeText(file.size)}`)));
  $("pack-go").disabled = packFiles.length === 0;
}

$("show-pack").onclick = () => {
  $("pack").hidden = !$("pack").hidden;
  if (!$("pack").hidden) $("pack-input").focus();
};
$("pack-input").onchange = (event) => { addPackFiles([...event.target.files]); event.target.value = ""; };
$("pack-clear").onclick = () => { packFiles.length = 0; addPackFiles([]); };
$("pack-go").onclick = async () => {
  const level = $("pack-level").value;
  const total = packFiles.reduce((sum, file) => sum + file.size, 0);
  const done = startWork(`Packing ${packFiles.length} ${packFiles.length === 1 ? "file" : "files"} ` +
                         `(${sizeText(total)}) at the ${level} level…`);
  try {
    const buffers = await Promise.all(packFiles.map((file) => file.arrayBuffer()));
    const bytes = await call("pack", { buffers, format: Number($("pack-format").value), level }, buffers);
    download(bytes, $("pack-name").value.trim() || "NEW.LS11");
  } catch (error) {
    showError(`Packing: ${error.message}`);
  } finally {
    done();
  }
};
dropTarget($("pack"), addPackFiles);

// --- Opening: picker, folder, dropping -----------------------------------------

$("open-files").onchange = (event) => {
  openFiles([...event.target.files].map((file) => ({ file, path: file.name })));
  event.target.value = "";
};
$("open-folder").onchange = (event) => {
  openFiles([...event.target.files].map((file) => ({ file, path: file.webkitRelativePath || file.name })));
  event.target.value = "";
};
$("close-all").onclick = () => { for (const file of [...files.values()]) closeFile(file); };

// An element that takes dropped files for itself rather than opening them.
function dropTarget(node, take) {
  node.addEventListener("dragover", (event) => {
    event.preventDefault();
    event.stopPropagation();
    node.classList.add("drop-target");
  });
  node.addEventListener("dragleave", () => node.classList.remove("drop-target"));
  node.addEventListener("drop", (event) => {
    event.preventDefault();
    event.stopPropagation();
    node.classList.remove("drop-target");
    $("drop-overlay").hidden = true;
    if (event.dataTransfer.files.length > 0) take([...event.dataTransfer.files]);
  });
}

// Everything below a dropped folder, with paths from it.
async function walk(entry, path) {
  if (entry.isFile) return [{ file: await new Promise((resolve, reject) => entry.file(resolve, reject)), path }];
  const reader = entry.createReader();
  const children = [];
  for (;;) {
    const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
    if (batch.length === 0) break;
    children.push(...batch);
  }
  const found = await Promise.all(children.map((child) => walk(child, `${path}/${child.name}`)));
  return found.flat();
}

window.addEventListener("dragover", (event) => {
  event.preventDefault();
  $("drop-overlay").hidden = false;
});
window.addEventListener("dragleave", (event) => {
  if (event.relatedTarget === null) $("drop-overlay").hidden = true;
});
window.addEventListener("drop", async (event) => {
  event.preventDefault();
  $("drop-overlay").hidden = true;
  const entries = [...event.dataTransfer.items].map((item) => item.webkitGetAsEntry?.()).filter(Boolean);
  if (entries.length === 0) {
    openFiles([...event.dataTransfer.files].map((file) => ({ file, path: file.name })));
    return;
  }
  const found = await Promise.all(entries.map((entry) => walk(entry, entry.name)));
  openFiles(found.flat());
});
