// Changes to opened files: replacing or editing an entry, each change kept
// in a list where it can be undone, the changed file to download, all
// changed files in one zip under their paths, and a warning before a change
// that was never downloaded is lost.
import { $, download, element } from "./dom.js";
import { call } from "./worker_client.js";
import { clearMessage, showDone, showError, startWork } from "./messages.js";
import { applyFilter, files, showCheck, showTable, updateSummary } from "./files.js";
import { entryName, plural } from "./names.js";
import { previewed, refreshPreview } from "./preview.js";

// Replaces entries: pairs of [index, File or Uint8Array, label].
export async function changeEntries(file, pairs) {
  clearMessage();
  const work = startWork(`Changing ${file.path}…`);
  try {
    let result;
    for (const [index, data, label] of pairs) {
      const buffer = data instanceof Uint8Array ? data.slice().buffer : await data.arrayBuffer();
      result = await call("change", { file: file.id, index, buffer, label: label ?? `replaced by ${data.name}` },
                          [buffer]);
    }
    afterChange(file, result);
    const indices = pairs.map(([index]) => index);
    work.done(`${file.path}: ${indices.length === 1 ? `entry ${indices[0]}` : `entries ${indices.join(", ")}`} ` +
              "changed. Download the file to keep it.");
    focusNotice(file);
    if (previewed()?.file === file && indices.includes(previewed().index)) refreshPreview();
    return true;
  } catch (error) {
    work.failed(`${file.path}: ${error.message}`);
    return false;
  }
}

// Files named after entries (NAME.012) dropped on a file's line replace
// those entries; anything else is refused, saying why.
export function replaceFromFiles(file, dropped) {
  const pairs = [];
  const refused = [];
  for (const data of dropped) {
    const number = /\.(\d+)$/.exec(data.name)?.[1];
    const index = number === undefined ? -1 : Number(number);
    if (index >= 0 && index < file.table.count && entryName(file.name, index).toLowerCase() === data.name.toLowerCase()) {
      pairs.push([index, data]);
      continue;
    }
    refused.push(data.name);
  }
  if (refused.length > 0) {
    showError(`${file.path}: ${refused.join(", ")} ${refused.length === 1 ? "is" : "are"} not named after an ` +
              `entry (${entryName(file.name, 0)}…); drop a file on an entry's row to replace that entry.`);
    return;
  }
  changeEntries(file, pairs);
}

function afterChange(file, result) {
  file.changes = result.changes;
  file.dirty = file.changes.length > 0;
  showTable(file, result);
  showCheck(file, result.check);
  showChanges(file);
  applyFilter();
  updateSummary();
}

function showChanges(file) {
  const box = file.card.querySelector("[data-testid=changes]");
  box.hidden = file.changes.length === 0;
  if (box.hidden) return box.replaceChildren();
  box.replaceChildren(
    element("span", { class: "what" }, `${plural(file.changes.length, "change")}:`),
    element("ul", {}, ...file.changes.map((change) => element("li", {},
      `entry ${change.index} ${change.label} `,
      element("button", { type: "button", class: "button small quiet", "data-testid": "undo",
                          "aria-label": `Undo: entry ${change.index} ${change.label}`,
                          onclick: () => undo(file, change) }, "Undo")))),
    element("button", { type: "button", class: "button small primary", "data-testid": "download-file",
                        onclick: () => downloadFile(file) }, `Download ${file.name}`));
}

function focusNotice(file) {
  const button = file.card.querySelector("[data-testid=download-file]");
  if (button) button.focus();
}

async function undo(file, change) {
  clearMessage();
  try {
    afterChange(file, await call("undo", { file: file.id, key: change.key }));
    showDone(`${file.path}: undone (entry ${change.index} ${change.label}).`);
    (file.card.querySelector("[data-testid=undo]") ?? file.card.querySelector(".fold")).focus();
    if (previewed()?.file === file && previewed().index === change.index) refreshPreview();
  } catch (error) {
    showError(`${file.path}: ${error.message}`);
  }
}

async function downloadFile(file) {
  clearMessage();
  try {
    download(await call("current", { file: file.id }), file.name);
    file.dirty = false;
    showDone(`Saved ${file.name}.`);
  } catch (error) {
    showError(`${file.path}: ${error.message}`);
  }
}

// Every changed file in one zip, each under its path, to unzip over the
// folder it came from.
async function downloadChanged() {
  clearMessage();
  const changed = [...files.values()].filter((file) => file.changes.length > 0);
  if (changed.length === 0) return;
  const work = startWork(`Collecting ${plural(changed.length, "changed file")}…`);
  try {
    download(await call("changedZip", { list: changed.map((file) => ({ file: file.id, path: file.path })) }),
             "changed-files.zip");
    for (const file of changed) file.dirty = false;
    work.done(`Saved changed-files.zip with ${plural(changed.length, "file")}.`);
  } catch (error) {
    work.failed(`Changed files: ${error.message}`);
  }
}

// Asks before changes that were never downloaded are lost.
export function confirmLoss(list) {
  const unsaved = list.filter((file) => file.dirty);
  if (unsaved.length === 0) return true;
  return window.confirm(`${unsaved.map((file) => file.path).join(", ")} ${unsaved.length === 1 ? "has" : "have"} ` +
                        "changes that were not downloaded. Close anyway?");
}

export function listenForChanges() {
  $("download-changed").onclick = downloadChanged;
  window.addEventListener("beforeunload", (event) => {
    if ([...files.values()].some((file) => file.dirty)) event.preventDefault();
  });
}
