// The preview of one entry: hex and text views that scroll over all of it,
// drawing only the lines in view; go to an offset; find hex bytes or text in
// the chosen encoding; one selection shown in both views. Editing (text in
// its own encoding, or bytes) starts here too.
import { $, element } from "./dom.js";
import { call } from "./worker_client.js";
import { clearMessage, showError } from "./messages.js";
import { VirtualList } from "./virtual_list.js";
import { ENCODINGS, encoderFor, guessEncoding, rememberEncoding } from "./encodings.js";
import { failureText, redrawRows, revealEntry } from "./files.js";
import { entryName, sizeText } from "./names.js";
import { editingBytes, mayLeaveEdit, startEdit, stopEdit, typeNibble } from "./edit.js";

// {file, index, bytes, mode, encoding, guessed, selection: {start, end},
//  lines: Uint32Array of text line starts}
let state = null;
export const previewed = () => state;

// Text lines longer than this are shown in pieces, so that a binary entry
// with no newline still draws a line at a time.
const LONGEST_LINE = 1024;

let lineHeight = 0;
const view = $("view");
const lines = view.querySelector(".lines");
const sizer = view.querySelector(".sizer");
const list = new VirtualList(view, drawLines, () => {
  if (!lineHeight) {
    const probe = lines.appendChild(element("div", { class: "l" }, "0"));
    lineHeight = probe.getBoundingClientRect().height || 16;
    probe.remove();
  }
  return lineHeight;
});

$("encoding").append(...ENCODINGS.map((label) => element("option", { value: label }, label)));

export async function preview(file, index, { focus = true } = {}) {
  if (focus && !mayLeaveEdit()) return;
  clearMessage();
  let bytes;
  try {
    bytes = await call("read", { file: file.id, index });
  } catch (error) {
    showError(`${file.path}, entry ${index}: ${error.message} (${failureText({ ...error, entry: index })})`);
    return;
  }
  stopEdit();
  const previous = state;
  state = { file, index, bytes, mode: previous?.mode ?? "hex", selection: null, lines: null,
            returnTo: previous?.returnTo ?? document.activeElement };
  chooseEncoding(guessEncoding(bytes), true);
  $("preview").hidden = false;
  document.body.classList.add("previewing");
  $("preview-title").textContent = `${file.path} · entry ${index} (${entryName(file.name, index)}) · ${sizeText(bytes.length)}`;
  $("preview-prev").disabled = index === 0;
  $("preview-next").disabled = index + 1 >= file.table.count;
  redrawRows(file);
  revealEntry(file, index);
  show();
  if (focus) view.focus();
}

export async function refreshPreview() {
  if (state) await preview(state.file, state.index, { focus: false });
}

// Closes the preview; an edit in progress is asked about unless the file
// itself goes.
export function closePreview(fileGoes = false) {
  if (!state || (!fileGoes && !mayLeaveEdit())) return;
  stopEdit();
  const { file, index, returnTo } = state;
  state = null;
  $("preview").hidden = true;
  document.body.classList.remove("previewing");
  redrawRows(file);
  const row = file.card.querySelector(`tr[data-index="${index}"] [data-testid=preview-entry]`);
  (row ?? (returnTo?.isConnected ? returnTo : null) ?? file.card.querySelector(".fold"))?.focus();
}

function chooseEncoding(label, guessed) {
  state.encoding = label;
  state.guessed = guessed;
  state.lines = null;
  $("encoding").value = label;
  $("encoding-note").textContent = guessed ? "guessed" : "your choice";
}

// Where each text line starts: after each newline, and every LONGEST_LINE
// bytes within a longer line.
function textLines(bytes, label) {
  const wide = label.startsWith("utf-16");
  const step = wide ? 2 : 1;
  const newline = (at) => (wide ? (label === "utf-16le" ? bytes[at] === 0x0a && bytes[at + 1] === 0
                                                          : bytes[at] === 0 && bytes[at + 1] === 0x0a)
                                : bytes[at] === 0x0a);
  const starts = [0];
  let start = 0;
  for (let at = 0; at < bytes.length; at += step) {
    if (newline(at)) {
      start = at + step;
      if (start < bytes.length) starts.push(start);
    } else if (at + step - start >= LONGEST_LINE) {
      start = at + step;
      if (start < bytes.length) starts.push(start);
    }
  }
  return Uint32Array.from(starts);
}

function lineOf(offset) {
  if (state.mode === "hex") return Math.floor(offset / 16);
  const starts = state.lines;
  let low = 0;
  let high = starts.length - 1;
  while (low < high) {
    const middle = (low + high + 1) >> 1;
    if (starts[middle] <= offset) low = middle;
    else high = middle - 1;
  }
  return low;
}

function show() {
  const { mode, bytes } = state;
  $("tab-hex").setAttribute("aria-selected", String(mode === "hex"));
  $("tab-text").setAttribute("aria-selected", String(mode === "text"));
  view.className = `view ${mode}`;
  lineHeight = 0;  // the views' fonts differ
  if (mode === "text" && !state.lines) state.lines = textLines(bytes, state.encoding);
  const count = bytes.length === 0 ? 1 : mode === "hex" ? Math.ceil(bytes.length / 16) : state.lines.length;
  sizer.style.height = `${Math.min(count * list.rowHeight(), 8_000_000)}px`;
  list.setCount(count);
}

const escape = (text) => text.replace(/[&<>]/g, (c) => (c === "&" ? "&amp;" : c === "<" ? "&lt;" : "&gt;"));
const HEX = Array.from({ length: 256 }, (_, byte) => byte.toString(16).padStart(2, "0"));
const CHAR = Array.from({ length: 256 }, (_, byte) => (byte >= 0x20 && byte < 0x7f ? escape(String.fromCharCode(byte)) : "."));

function drawLines(first, end, padTop) {
  const { bytes, mode, selection } = state;
  lines.style.top = `${padTop}px`;
  if (bytes.length === 0) {
    lines.innerHTML = '<div class="l empty">(empty entry)</div>';
    return;
  }
  const selected = (at) => selection && at >= selection.start && at < selection.end;
  const edited = editingBytes();
  let html = "";
  if (mode === "hex") {
    // Plain text but for the marked bytes: a screenful of lines stays a few
    // hundred nodes however fast it scrolls.
    const data = edited ?? bytes;
    const marked = selection !== null || edited !== null;
    for (let line = first; line < end; ++line) {
      const offset = line * 16;
      let hex = "";
      let text = "";
      for (let i = 0; i < 16; ++i) {
        const at = offset + i;
        const gap = i === 7 ? "  " : " ";
        if (at >= data.length) {
          hex += `  ${gap}`;
          continue;
        }
        const byte = data[at];
        if (!marked) {
          hex += HEX[byte] + gap;
          text += CHAR[byte];
          continue;
        }
        const marks = `${selected(at) ? " s" : ""}${edited && edited.cursor === at ? " c" : ""}` +
                      `${edited && edited[at] !== bytes[at] ? " e" : ""}`;
        hex += (marks ? `<i data-at="${at}" class="${marks.trim()}">${HEX[byte]}</i>` : HEX[byte]) + gap;
        text += selected(at) ? `<i class="s">${CHAR[byte]}</i>` : CHAR[byte];
      }
      html += `<div class="l"><span class="o">${offset.toString(16).padStart(8, "0")}</span>` +
              `<span class="h">${hex}</span><span class="a">${text}</span></div>`;
    }
  } else {
    const decoder = new TextDecoder(state.encoding);
    for (let line = first; line < end; ++line) {
      const start = state.lines[line];
      const stop = line + 1 < state.lines.length ? state.lines[line + 1] : bytes.length;
      const text = decoder.decode(bytes.subarray(start, stop)).replace(/\r?\n$/, "");
      if (selection && selection.start < stop && selection.end > start) {
        // The selection's characters: the lengths of the line's text before
        // the selection and up to its end.
        const from = decoder.decode(bytes.subarray(start, Math.max(start, selection.start))).length;
        const to = Math.min(text.length, decoder.decode(bytes.subarray(start, Math.min(stop, selection.end))).length);
        html += `<div class="l">${escape(text.slice(0, from))}<i class="s">${escape(text.slice(from, to)) || " "}</i>` +
                `${escape(text.slice(to))}</div>`;
      } else {
        html += `<div class="l">${escape(text) || " "}</div>`;
      }
    }
  }
  lines.innerHTML = html;
}

export const redrawPreview = () => {
  if (!state) return;
  list.shown = null;
  list.draw();
};

// The byte under a click in the hex view: from the column of the character
// clicked in the line's hex or character part.
function byteAt(event) {
  if (state?.mode !== "hex") return null;
  const part = event.target.closest(".h, .a");
  const line = event.target.closest(".l");
  if (!part || !line) return null;
  const first = Number.parseInt(line.querySelector(".o").textContent, 16);
  const rect = part.getBoundingClientRect();
  const column = Math.floor(((event.clientX - rect.left) / rect.width) * part.textContent.length);
  // "xx " per byte, one more space after the eighth.
  const index = part.classList.contains("a") ? column : Math.floor((column < 24 ? column : column - 1) / 3);
  const at = first + Math.min(15, Math.max(0, index));
  return at < state.bytes.length ? at : null;
}

function select(start, end) {
  state.selection = { start, end };
  const edited = editingBytes();
  if (edited) edited.cursor = start;
  list.reveal(lineOf(start));
  redrawPreview();
  $("selection-note").textContent = `offset ${start} (0x${start.toString(16)})` +
    (end - start > 1 ? `, ${end - start} bytes` : "");
}

// An offset as typed: decimal, or hex with 0x.
function parseOffset(text) {
  const value = /^0x[0-9a-f]+$/i.test(text) ? parseInt(text, 16) : /^\d+$/.test(text) ? Number(text) : NaN;
  return Number.isSafeInteger(value) ? value : null;
}

function goTo() {
  const offset = parseOffset($("goto").value.trim());
  if (offset === null || offset >= state.bytes.length) {
    showError(`Go to: "${$("goto").value}" is not an offset in this entry (0 to ${state.bytes.length - 1}; ` +
              "hex as 0x1f0)");
    return;
  }
  clearMessage();
  select(offset, offset + 1);
}

// The bytes to find: hex pairs, or the text in the view's encoding.
function needle() {
  const query = $("search").value;
  if ($("search-kind").value === "hex") {
    const digits = query.replace(/\s+/g, "");
    if (!/^([0-9a-f]{2})+$/i.test(digits)) return { error: `"${query}" is not hex bytes (for example 1f 8b 08)` };
    return { bytes: Uint8Array.from(digits.match(/../g), (pair) => parseInt(pair, 16)) };
  }
  const encode = encoderFor(state.encoding);
  if (!encode) return { error: `the page cannot search ${state.encoding} text; search hex bytes instead` };
  const { bytes, bad } = encode(query);
  return bad ? { error: `"${bad}" cannot be written in ${state.encoding}` } : { bytes };
}

function find() {
  const { bytes, error } = needle();
  if (error || bytes.length === 0) {
    if (error) showError(`Find: ${error}`);
    return;
  }
  clearMessage();
  const data = state.bytes;
  const from = state.selection ? state.selection.start + 1 : 0;
  const search = (start, stop) => {
    const first = bytes[0];
    for (let at = data.indexOf(first, start); at >= 0 && at <= stop - bytes.length; at = data.indexOf(first, at + 1)) {
      let i = 1;
      while (i < bytes.length && data[at + i] === bytes[i]) ++i;
      if (i === bytes.length) return at;
    }
    return -1;
  };
  const at = [search(from, data.length), search(0, Math.min(data.length, from + bytes.length - 1))]
    .find((found) => found >= 0);
  if (at === undefined) {
    showError(`Find: "${$("search").value}" is not in this entry`);
    return;
  }
  select(at, at + bytes.length);
}

function step(delta) {
  if (!state) return;
  const next = state.index + delta;
  if (next >= 0 && next < state.file.table.count) preview(state.file, next);
}

export function listenForPreview() {
  $("tab-hex").onclick = () => { state.mode = "hex"; show(); };
  $("tab-text").onclick = () => { state.mode = "text"; show(); };
  $("encoding").onchange = () => {
    rememberEncoding($("encoding").value);
    chooseEncoding($("encoding").value, false);
    show();
  };
  $("goto-form").onsubmit = (event) => { event.preventDefault(); goTo(); };
  $("search-form").onsubmit = (event) => { event.preventDefault(); find(); };
  $("preview-close").onclick = () => closePreview();
  $("preview-prev").onclick = () => step(-1);
  $("preview-next").onclick = () => step(1);
  $("edit").onclick = () => startEdit(state);
  lines.addEventListener("click", (event) => {
    const at = byteAt(event);
    if (at !== null) select(at, at + 1);
  });
  $("preview").addEventListener("keydown", (event) => {
    if (event.key === "Escape") {
      event.preventDefault();
      closePreview();
      return;
    }
    const typing = event.target.closest("input, textarea, select");
    if (typing) return;
    if (editingBytes()) {
      typeNibble(event, state);
      return;
    }
    if (event.key === "n" || (event.altKey && event.key === "ArrowDown")) { event.preventDefault(); step(1); }
    if (event.key === "p" || (event.altKey && event.key === "ArrowUp")) { event.preventDefault(); step(-1); }
  });
}

export { select as selectBytes };
