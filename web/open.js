// Opening files (the pickers, dropped files and folders), the worker's
// answers about them, and what a file's line offers: downloads and Close.
import { $, download } from "./dom.js";
import { call } from "./worker_client.js";
import { clearMessage, showDone, showError, startWork } from "./messages.js";
import { addFiles, addSkipped, applyFilter, clearSkipped, failureText, files, removeFile, showCheck, showTable,
         showUnopened, updateSummary } from "./files.js";
import { closePreview, previewed } from "./preview.js";
import { confirmLoss } from "./changes.js";
import { decodedName, entryName, plural, zipName } from "./names.js";

let nextFile = 1;

// A folder's worth of files opens folded, so that only the lines are drawn.
const EXPANDED_FILES = 8;

// Whether a file (with the path it was found under) is open already: the
// same path and bytes. The worker compares the bytes, and only where the
// path and size match, so that a folder opens without reading a file twice.
async function isOpen({ file, path }) {
  for (const open of [...files.values()]) {
    if (open.path === path && open.size === file.size && await call("same", { file: open.id, other: file })) return true;
  }
  return false;
}

// Opens files (File objects, each with the path it was found under). A file
// already open is said so, not opened twice.
export async function openFiles(found) {
  if (found.length === 0) return;
  clearMessage();
  const again = [];
  const fresh = [];
  for (const item of found) (await isOpen(item) ? again : fresh).push(item);
  if (fresh.length === 0) {
    showDone(`${again.map(({ path }) => path).join(", ")}: already open`);
    return;
  }
  const work = startWork(`Opening ${plural(fresh.length, "file")}…`);
  const opened = fresh.map(({ file, path }) => ({
    id: nextFile++, name: file.name, path, size: file.size, file,
    expanded: fresh.length + files.size <= EXPANDED_FILES, changes: [],
  }));
  addFiles(opened);
  let failed = 0;
  // What arrives between two frames is drawn together, and the summary and
  // filter worked out once for it.
  let waiting = [];
  let lastCheck = null;
  const draw = () => {
    for (const { opened: table, checked } of waiting) {
      const file = files.get((table ?? checked).id);
      if (!file) continue;  // closed meanwhile
      if (checked) {
        showCheck(file, checked);
        if (!checked.ok) ++failed;
      } else if (!table.failed) {
        showTable(file, table);
      } else if (table.failed.notLs11) {
        removeFile(file);
        addSkipped([{ path: file.path, detail: failureText(table.failed), status: table.failed.status }]);
      } else {
        showUnopened(file, table.failed);
        ++failed;
      }
    }
    waiting = [];
    applyFilter();
    updateSummary();
    if (lastCheck) work.progress(`Checked ${lastCheck.done} of ${lastCheck.total}`, lastCheck.done, lastCheck.total);
  };
  const flushed = () => new Promise((resolve) => requestAnimationFrame(() => { draw(); resolve(); }));
  try {
    await call("open", { files: opened.map(({ id, file }) => ({ id, file })) }, [], (state) => {
      if (waiting.push(state) === 1) requestAnimationFrame(draw);
      if (state.checked) lastCheck = state;
    });
    if (waiting.length > 0) await flushed();
    for (const file of opened) delete file.file;
    const notes = [again.length > 0 ? `${again.map(({ path }) => path).join(", ")} already open` : "",
                   failed > 0 ? `${plural(failed, "file")} failed` : ""].filter(Boolean);
    work.done(`Opened ${plural(fresh.length, "file")}${notes.length ? `; ${notes.join("; ")}` : ""}.`);
  } catch (error) {
    work.failed(`Opening: ${error.message}`);
  }
}

export async function closeFile(file, ask = true) {
  if (ask && !confirmLoss([file])) return;
  if (previewed()?.file === file) closePreview(true);
  removeFile(file);
  await call("close", { file: file.id });
}

async function closeAll() {
  if (!confirmLoss([...files.values()])) return;
  for (const file of [...files.values()]) closeFile(file, false);
  clearSkipped();
  addSkipped([]);
  clearMessage();
}

const where = (file, index) => (index === undefined ? file.path : `${file.path}, entry ${index}`);

export async function downloadEntry(file, index) {
  clearMessage();
  try {
    download(await call("read", { file: file.id, index }), entryName(file.name, index));
  } catch (error) {
    showError(`${where(file, index)}: ${error.message} (${failureText(error)})`);
  }
}

// unls11's decoded file; for a damaged file, what unls11 writes too (the
// entries before the first that fails), with the failure told.
export async function downloadDecoded(file) {
  clearMessage();
  const work = startWork(`Decoding ${file.path}…`);
  try {
    const { partial, failed } = await call("decoded", { file: file.id });
    if (!failed) {
      download(partial, decodedName(file.name));
      work.done(`Saved ${decodedName(file.name)}.`);
    } else if (failed.index === 0) {
      work.failed(`${where(file, 0)}: ${failed.words} ${failureText({ ...failed, entry: 0 })}: nothing decodes, ` +
                  "so there is no decoded file to save.");
    } else {
      download(partial, decodedName(file.name));
      work.failed(`${where(file, failed.index)}: ${failed.words} ${failureText({ ...failed, entry: failed.index })}. ` +
                  `${decodedName(file.name)} holds entries 0 to ${failed.index - 1} only, as unls11 writes it.`);
    }
  } catch (error) {
    work.failed(`${file.path}: ${error.message}`);
  }
}

// Every entry in one zip; entries that do not decode are left out and named.
export async function downloadZip(file) {
  clearMessage();
  const work = startWork(`Collecting the entries of ${file.path}…`);
  try {
    const { zip, failed } = await call("zip", { file: file.id, name: file.name }, [],
                                       ({ done, total }) => work.progress(`Entry ${done} of ${total}`, done, total));
    const count = file.table.count - failed.length;
    if (count === 0 && failed.length > 0) {
      work.failed(`${file.path}: no entry decodes (${failureText({ ...failed[0], entry: failed[0].index })}), ` +
                  "so there is no zip to save.");
      return;
    }
    download(zip, zipName(file.name));
    if (failed.length === 0) work.done(`Saved ${zipName(file.name)}.`);
    else {
      work.failed(`${file.path}: ${zipName(file.name)} leaves out ${plural(failed.length, "entry", "entries")} that ` +
                  `do not decode: ${failed.slice(0, 10).map(({ index }) => index).join(", ")}` +
                  `${failed.length > 10 ? "…" : ""} (${failed[0].words})`);
    }
  } catch (error) {
    work.failed(`${file.path}: ${error.message}`);
  }
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

export function listenForFiles() {
  $("open-files").onchange = (event) => {
    openFiles([...event.target.files].map((file) => ({ file, path: file.name })));
    event.target.value = "";
  };
  $("open-folder").onchange = (event) => {
    openFiles([...event.target.files].map((file) => ({ file, path: file.webkitRelativePath || file.name })));
    event.target.value = "";
  };
  $("close-all").onclick = closeAll;
  // Only files dragged in from outside open; the pack list's own items move.
  window.addEventListener("dragover", (event) => {
    if (!event.dataTransfer.types.includes("Files")) return;
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
}

