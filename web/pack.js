// The pack panel: files become entries in the order listed (reordered by
// dragging or with the keyboard, removed one by one), packed in the worker;
// the result can be downloaded and opened in the page.
import { $, download, element } from "./dom.js";
import { call } from "./worker_client.js";
import { clearMessage, startWork } from "./messages.js";
import { openFiles } from "./open.js";
import { plural, ratio, sizeText } from "./names.js";

const packFiles = [];
let result = null;  // the last packed file, as a File

function move(from, to) {
  if (to < 0 || to >= packFiles.length) return;
  packFiles.splice(to, 0, ...packFiles.splice(from, 1));
  drawList(to);
}

function drawList(focusAt = null) {
  const total = packFiles.reduce((sum, file) => sum + file.size, 0);
  $("pack-list").replaceChildren(...packFiles.map((file, i) => element("li", {
    draggable: "true", "data-testid": "pack-item", "data-at": i, tabindex: "0",
    "aria-label": `Entry ${i}: ${file.name}, ${sizeText(file.size)}. Alt and arrow keys move it, Delete removes it.`,
  },
  element("span", { class: "name" }, `${i}. ${file.name}`), element("span", { class: "size" }, sizeText(file.size)),
  element("button", { type: "button", class: "button small quiet", "aria-label": `Move ${file.name} up`,
                      disabled: i === 0, onclick: () => move(i, i - 1) }, "↑"),
  element("button", { type: "button", class: "button small quiet", "aria-label": `Move ${file.name} down`,
                      disabled: i + 1 === packFiles.length, onclick: () => move(i, i + 1) }, "↓"),
  element("button", { type: "button", class: "button small quiet", "data-testid": "pack-remove",
                      "aria-label": `Remove ${file.name}`, onclick: () => remove(i) }, "✕"))));
  $("pack-total").textContent = packFiles.length ? `${plural(packFiles.length, "entry", "entries")}, ${sizeText(total)}` : "";
  $("pack-go").disabled = packFiles.length === 0;
  if (focusAt !== null) $("pack-list").children[focusAt]?.focus();
}

function remove(i) {
  packFiles.splice(i, 1);
  drawList(packFiles.length ? Math.min(i, packFiles.length - 1) : null);
}

function addPackFiles(list) {
  packFiles.push(...list);
  drawList();
}

async function packNow() {
  clearMessage();
  const level = $("pack-level").value;
  const total = packFiles.reduce((sum, file) => sum + file.size, 0);
  const name = $("pack-name").value.trim() || "NEW.LS11";
  const work = startWork(`Packing ${plural(packFiles.length, "file")} (${sizeText(total)}) at the ${level} level…`);
  $("pack-go").disabled = true;
  $("pack-go").textContent = "Packing…";
  try {
    const buffers = await Promise.all(packFiles.map((file) => file.arrayBuffer()));
    const bytes = await call("pack", { buffers, format: Number($("pack-format").value), level }, buffers);
    download(bytes, name);
    result = new File([bytes], name);
    $("pack-result").hidden = false;
    $("pack-result-text").textContent = `${name}: ${bytes.length.toLocaleString("en")} bytes ` +
      `(${sizeText(bytes.length)}) from ${total.toLocaleString("en")}, ${ratio(bytes.length, total)}.`;
    work.done(`Packed ${name}: ${sizeText(bytes.length)}, ${ratio(bytes.length, total)} of ${sizeText(total)}.`);
  } catch (error) {
    work.failed(`Packing: ${error.message}`);
  } finally {
    $("pack-go").disabled = packFiles.length === 0;
    $("pack-go").textContent = "Pack and download";
  }
}

export function listenForPack() {
  const show = (shown) => {
    $("pack").hidden = !shown;
    $("show-pack").setAttribute("aria-expanded", String(shown));
    (shown ? $("pack-title") : $("show-pack")).focus();
  };
  $("show-pack").onclick = () => show($("pack").hidden);
  $("pack-close").onclick = () => show(false);
  $("pack").addEventListener("keydown", (event) => {
    if (event.key === "Escape") show(false);
  });
  $("pack-input").onchange = (event) => { addPackFiles([...event.target.files]); event.target.value = ""; };
  $("pack-clear").onclick = () => { packFiles.length = 0; drawList(); };
  $("pack-go").onclick = packNow;
  $("pack-open").onclick = () => { if (result) openFiles([{ file: result, path: result.name }]); };
  const list = $("pack-list");
  list.addEventListener("keydown", (event) => {
    const at = Number(event.target.closest("li")?.dataset.at);
    if (!Number.isInteger(at) || event.target.tagName !== "LI") return;
    if (event.altKey && event.key === "ArrowUp") { event.preventDefault(); move(at, at - 1); }
    if (event.altKey && event.key === "ArrowDown") { event.preventDefault(); move(at, at + 1); }
    if (event.key === "Delete" || event.key === "Backspace") { event.preventDefault(); remove(at); }
  });
  let dragged = null;
  list.addEventListener("dragstart", (event) => {
    dragged = Number(event.target.closest("li")?.dataset.at);
    event.dataTransfer.effectAllowed = "move";
  });
  list.addEventListener("dragover", (event) => {
    if (dragged === null) return;
    event.preventDefault();
    event.stopPropagation();
  });
  list.addEventListener("drop", (event) => {
    if (dragged === null) return;
    event.preventDefault();
    event.stopPropagation();
    const to = Number(event.target.closest("li")?.dataset.at ?? packFiles.length - 1);
    move(dragged, to);
    dragged = null;
  });
  list.addEventListener("dragend", () => { dragged = null; });
  // Files dropped on the panel become entries rather than opened files.
  const panel = $("pack");
  panel.addEventListener("dragover", (event) => {
    event.preventDefault();
    event.stopPropagation();
    panel.classList.add("drop-target");
  });
  panel.addEventListener("dragleave", () => panel.classList.remove("drop-target"));
  panel.addEventListener("drop", (event) => {
    event.preventDefault();
    event.stopPropagation();
    panel.classList.remove("drop-target");
    $("drop-overlay").hidden = true;
    if (event.dataTransfer.files.length > 0) addPackFiles([...event.dataTransfer.files]);
  });
}
