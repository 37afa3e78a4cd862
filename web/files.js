// The opened files: one compact line each, sorted by path, with a summary,
// a filter and "problems only"; an unfolded file shows its entry table,
// drawn a screenful at a time.
import { $, element } from "./dom.js";
import { VirtualList } from "./virtual_list.js";
import { baseName, plural, ratio, sizeText } from "./names.js";
import { changeEntries, replaceFromFiles } from "./changes.js";
import { preview, previewed } from "./preview.js";
import { closeFile, downloadDecoded, downloadEntry, downloadZip } from "./open.js";

// id -> {id, name, path, size, table, check, failure,
//        changes, dirty, expanded, card, rows, view}
export const files = new Map();
const skipped = [];  // {path, detail, status}

const byPath = new Intl.Collator("en", { numeric: true, sensitivity: "base" }).compare;

// The files as the filter and "problems only" leave them.
function filterWords() {
  const words = $("filter").value.trim().toLowerCase().split(/\s+/).filter(Boolean);
  // A number or a range (12, 10-20) picks entries; any other word, paths.
  const ranges = [];
  const paths = [];
  for (const word of words) {
    const range = /^#?(\d+)(?:-(\d+))?$/.exec(word);
    if (range) ranges.push([Number(range[1]), Number(range[2] ?? range[1])]);
    else paths.push(word);
  }
  return { ranges, paths };
}

function problem(file) {
  return Boolean(file.failure) || (file.check && !file.check.ok);
}

export function applyFilter() {
  const { ranges, paths } = filterWords();
  const problemsOnly = $("problems-only").checked;
  let shown = 0;
  for (const file of files.values()) {
    const path = file.path.toLowerCase();
    let view = null;
    if (ranges.length > 0 && file.table) {
      view = [];
      for (const [low, high] of ranges) {
        for (let index = low; index <= Math.min(high, file.table.count - 1); ++index) view.push(index);
      }
    }
    const visible = paths.every((word) => path.includes(word)) && (!problemsOnly || problem(file)) &&
      (ranges.length === 0 || view?.length > 0);
    file.card.hidden = !visible;
    if (visible) ++shown;
    file.view = view;
    if (file.rows) file.rows.setCount(rowCount(file));
  }
  $("skipped").hidden = skipped.length === 0 || paths.length > 0 || ranges.length > 0;
  $("filter-count").textContent = files.size > 0 && shown < files.size ? `${shown} of ${files.size} files shown` : "";
}

export function updateSummary() {
  let ok = 0;
  let failed = 0;
  for (const file of files.values()) {
    if (file.failure || (file.check && !file.check.ok)) ++failed;
    else if (file.check) ++ok;
  }
  const summary = $("summary");
  const total = files.size + skipped.length;
  summary.dataset.files = total;
  summary.dataset.ok = ok;
  summary.dataset.failed = failed;
  summary.dataset.skipped = skipped.length;
  const checking = files.size - ok - failed;
  $("summary-text").textContent = total === 0 ? "No files open" :
    `${plural(total, "file")}: ${ok} OK, ${failed} failed, ${skipped.length} not LS11` +
    (checking > 0 ? `, ${checking} being checked` : "");
  $("toolbar").hidden = total === 0;
  $("empty").hidden = total > 0;
  $("close-all").disabled = total === 0;
  $("download-changed").hidden = ![...files.values()].some((file) => file.changes?.length > 0);
}

// Adds files to the list in path order; they show "Checking…" until the
// worker says more.
export function addFiles(list) {
  for (const file of list) {
    file.card = fileCard(file);
    files.set(file.id, file);
  }
  const sorted = [...files.values()].sort((a, b) => byPath(a.path, b.path));
  $("file-list").append(...sorted.map((file) => file.card));
  applyFilter();
  updateSummary();
}

export function addSkipped(list) {
  skipped.push(...list);
  skipped.sort((a, b) => byPath(a.path, b.path));
  const box = $("skipped");
  box.querySelector("ul").replaceChildren(...skipped.map(({ path, detail, status }) =>
    element("li", { "data-testid": "skipped", "data-status": status }, element("span", { class: "path" }, path),
            detail ? element("span", { class: "why" }, ` — ${detail}`) : null)));
  box.querySelector("summary").textContent = `${plural(skipped.length, "file")} not LS11`;
  applyFilter();
  updateSummary();
}

export function removeFile(file) {
  file.card.remove();
  files.delete(file.id);
  updateSummary();
}

export function clearSkipped() {
  skipped.length = 0;
  $("skipped").querySelector("ul").replaceChildren();
  $("skipped").hidden = true;
}

function fileCard(file) {
  const bodyId = `file-${file.id}-entries`;
  const card = element("article", { class: "file", "data-testid": "file", "data-name": file.name,
                                    "aria-label": file.path },
    element("header", { class: "line" },
      element("button", { type: "button", class: "fold", "aria-expanded": String(file.expanded),
                          "aria-controls": bodyId, "aria-label": `Entries of ${file.path}`,
                          onclick: () => setExpanded(file, !file.expanded) }),
      element("h3", { class: "path", title: file.path }, file.path),
      element("span", { class: "badge", "data-field": "format" }),
      element("span", { class: "status pending", "data-testid": "status" }, "Checking…"),
      element("span", { class: "counts", "data-field": "counts" }),
      element("span", { class: "tools" },
        element("button", { type: "button", class: "button small needs-table", "data-testid": "download-decoded",
                            title: "The decoded file, as unls11 writes it", onclick: () => downloadDecoded(file) },
                "Decoded"),
        element("button", { type: "button", class: "button small needs-table", "data-testid": "download-zip",
                            title: "Every entry, in one zip", onclick: () => downloadZip(file) }, "Zip"),
        element("button", { type: "button", class: "button small quiet", "aria-label": `Close ${file.path}`,
                            onclick: () => closeFile(file) }, "Close"))),
    element("p", { class: "detail", "data-testid": "detail", hidden: true }),
    element("div", { class: "changes", "data-testid": "changes", hidden: true }),
    element("div", { class: "body", id: bodyId, hidden: !file.expanded }),
    element("input", { type: "file", class: "visually-hidden", "data-testid": "replace", tabindex: "-1",
                       "aria-hidden": "true", multiple: false }));
  file.card = card;
  answerRows(file, card);
  return card;
}

function setExpanded(file, expanded) {
  file.expanded = expanded;
  file.card.querySelector(".fold").setAttribute("aria-expanded", String(expanded));
  file.card.querySelector(".body").hidden = !expanded;
  if (expanded && file.table && !file.rows) drawTable(file);
}

function setStatus(file, text, kind) {
  const status = file.card.querySelector("[data-testid=status]");
  status.textContent = text;
  status.className = `status ${kind}`;
}

function setDetail(file, text) {
  const detail = file.card.querySelector("[data-testid=detail]");
  detail.hidden = !text;
  detail.textContent = text ?? "";
}

// A failure's plain words: what the library says of why, and the entry.
export function failureText(failure) {
  const detail = failure.detail && failure.detail !== failure.words ? failure.detail : "";
  return detail || (Number.isInteger(failure.entry) ? `entry ${failure.entry} does not decode` : failure.words);
}

// A file that did not open: its words alone.
export function showUnopened(file, failure) {
  file.failure = failure;
  file.card.dataset.status = failure.status;
  setStatus(file, failure.words, "bad");
  setDetail(file, failureText(failure));
  for (const part of file.card.querySelectorAll("[data-field=format], .needs-table, .fold")) part.hidden = true;
  file.card.querySelector(".body").hidden = true;
}

// table: {format, count, and columns offset, packed, unpacked, stored}.
export function showTable(file, table) {
  file.table = table;
  file.card.querySelector("[data-field=format]").textContent = `LS${table.format}`;
  let packed = 0;
  let unpacked = 0;
  for (let i = 0; i < table.count; ++i) {
    packed += table.packed[i];
    unpacked += table.unpacked[i];
  }
  file.totals = { packed, unpacked };
  file.card.querySelector("[data-field=counts]").textContent =
    `${plural(table.count, "entry", "entries")} · ${sizeText(packed)} → ${sizeText(unpacked)}`;
  if (file.expanded) drawTable(file);
}

export function showCheck(file, check) {
  file.check = check;
  file.entryStatus = new Map(check.bad);
  file.card.dataset.status = check.status;
  setStatus(file, check.words, check.ok ? "ok" : "bad");
  const count = check.bad.length;
  setDetail(file, check.ok ? "" : `${failureText(check)}${count > 1 ? `; ${count} entries fail in all` : ""}`);
  file.rows?.setCount(rowCount(file));
}

const rowCount = (file) => (file.view ? file.view.length : file.table?.count ?? 0);
const rowIndex = (file, i) => (file.view ? file.view[i] : i);

function entryRow(file, index) {
  const { offset, packed, unpacked, stored } = file.table;
  const status = file.check ? (file.entryStatus.get(index) ?? file.check.entryOk) : null;
  const fails = file.entryStatus?.has(index);
  const changed = file.changes?.some((change) => change.index === index);
  const selected = previewed()?.file === file && previewed().index === index;
  return `<tr data-testid="entry" data-index="${index}"${status === null ? "" : ` data-status="${status}"`}` +
    `${changed ? ' data-changed="true"' : ""} class="${selected ? "selected" : ""}${fails ? " fails" : ""}">` +
    `<th scope="row" data-field="index">${index}</th>` +
    `<td data-field="offset">${offset[index]}</td><td data-field="packed">${packed[index]}</td>` +
    `<td data-field="unpacked">${unpacked[index]}</td>` +
    `<td data-field="kind">${stored[index] ? "stored" : "compressed"}</td>` +
    `<td data-field="ratio">${ratio(packed[index], unpacked[index])}</td>` +
    `<td data-field="mark">${fails ? '<span class="bad">fails</span>' : ""}${changed ? '<span class="changed">changed</span>' : ""}</td>` +
    `<td data-field="act"><button type="button" class="button small" data-testid="preview-entry" aria-label="Preview entry ${index}">View</button> ` +
    `<button type="button" class="button small" data-testid="download-entry" aria-label="Download entry ${index}">Save</button> ` +
    `<button type="button" class="button small" data-testid="replace-entry" aria-label="Replace entry ${index}" ` +
    `title="Or drop a file on this row">Replace…</button></td></tr>`;
}

const ROW_HEIGHT = () => 2.1 * parseFloat(getComputedStyle(document.documentElement).fontSize);

function drawTable(file) {
  const body = file.card.querySelector(".body");
  body.innerHTML = `<div class="table-wrap" tabindex="0"><table><caption class="visually-hidden">Entries of ${escapeHtml(file.path)}</caption>` +
    "<thead><tr>" + [["entry", "index"], ["offset", "offset"], ["packed", "packed"], ["unpacked", "unpacked"],
                     ["kind", "kind"], ["ratio", "ratio"], ["", "mark"], ["", "act"]]
      .map(([heading, field]) => `<th scope="col" data-field="${field}">${heading}</th>`).join("") +
    `</tr></thead><tbody></tbody><tfoot><tr><th scope="row">total</th><td data-field="offset"></td>` +
    `<td data-field="packed">${file.totals.packed}</td><td data-field="unpacked">${file.totals.unpacked}</td>` +
    `<td data-field="kind"></td><td data-field="ratio">${ratio(file.totals.packed, file.totals.unpacked)}</td>` +
    '<td data-field="mark"></td><td data-field="act"></td></tr></tfoot></table></div>';
  const tbody = body.querySelector("tbody");
  file.rows = new VirtualList(body.querySelector(".table-wrap"), (first, end, padTop, padBottom) => {
    let html = padTop > 0 ? `<tr class="pad" aria-hidden="true" style="height:${padTop}px"></tr>` : "";
    for (let i = first; i < end; ++i) html += entryRow(file, rowIndex(file, i));
    if (padBottom > 0) html += `<tr class="pad" aria-hidden="true" style="height:${padBottom}px"></tr>`;
    tbody.innerHTML = html;
  }, ROW_HEIGHT);
  file.rows.setCount(rowCount(file));
}

// Redraws the rows in view, for marks that changed.
export const redrawRows = (file) => file.rows?.setCount(rowCount(file));

export function revealEntry(file, index) {
  if (!file.expanded) setExpanded(file, true);
  const at = file.view ? file.view.indexOf(index) : index;
  if (at >= 0) file.rows?.reveal(at);
}

const escapeHtml = (text) => text.replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`);

// What a card's rows ask for: their buttons, the replace input, and files
// dropped on a row (replace that entry) or on the card's line (entries
// named NAME.NNN replace entry NNN).
function answerRows(file, card) {
  const indexOf = (node) => Number(node.closest("tr[data-index]")?.dataset.index);
  const input = card.querySelector("[data-testid=replace]");
  card.addEventListener("click", (event) => {
    const button = event.target.closest("tr[data-index] button");
    if (!button) return;
    const index = indexOf(button);
    if (button.dataset.testid === "preview-entry") preview(file, index);
    if (button.dataset.testid === "download-entry") downloadEntry(file, index);
    if (button.dataset.testid === "replace-entry") {
      input.dataset.index = index;
      input.click();
    }
  });
  input.addEventListener("change", () => {
    const replacement = input.files[0];
    if (replacement) changeEntries(file, [[Number(input.dataset.index), replacement]]);
    input.value = "";
  });
  const targetOf = (event) => event.target.closest("tbody tr[data-index]") ?? card;
  let marked = null;
  const mark = (node) => {
    marked?.classList.remove("drop-target");
    marked = node;
    marked?.classList.add("drop-target");
  };
  card.addEventListener("dragover", (event) => {
    if (!file.table) return;
    event.preventDefault();
    event.stopPropagation();
    mark(targetOf(event));
    card.dataset.dropHint = marked === card ? `Drop ${baseName(file.name)}.NNN files to replace those entries`
                                             : `Drop a file to replace entry ${indexOf(marked)}`;
  });
  card.addEventListener("dragleave", (event) => {
    if (!card.contains(event.relatedTarget)) mark(null);
  });
  card.addEventListener("drop", (event) => {
    if (!file.table) return;
    event.preventDefault();
    event.stopPropagation();
    const target = targetOf(event);
    mark(null);
    $("drop-overlay").hidden = true;
    const dropped = [...event.dataTransfer.files];
    if (dropped.length === 0) return;
    if (target === card) replaceFromFiles(file, dropped);
    else changeEntries(file, [[indexOf(target), dropped[0]]]);
  });
}
