// Editing an entry in the page: text that reads back exactly in its
// encoding is edited as text and saved in that encoding; anything else
// (control codes, binary) byte by byte in the hex view.
import { $ } from "./dom.js";
import { showError } from "./messages.js";
import { encoderFor, roundTrips } from "./encodings.js";
import { changeEntries } from "./changes.js";
import { redrawPreview, selectBytes } from "./preview.js";

let editing = null;  // {kind: "text" | "bytes", state, bytes (a copy, for bytes)}

export const editingBytes = () => (editing?.kind === "bytes" ? editing.bytes : null);

// Whether an edit in progress would be lost: text or bytes that differ
// from the entry's.
function editChanged() {
  if (!editing) return false;
  const { bytes } = editing.state;
  if (editing.kind === "bytes") return editing.bytes.some((byte, i) => byte !== bytes[i]);
  return $("editor").value !== editing.text;
}

// Asks before an edit in progress is dropped for another entry.
export const mayLeaveEdit = () => !editChanged() ||
  window.confirm(`Entry ${editing.state.index} of ${editing.state.file.path} has an edit that was not saved. Drop it?`);

export function stopEdit() {
  editing = null;
  $("editor-box").hidden = true;
  $("view").hidden = false;
  $("save-edit").hidden = true;
  $("cancel-edit").hidden = true;
  $("edit").hidden = false;
  $("edit-note").textContent = "";
  redrawPreview();
}

export function startEdit(state) {
  if (state.mode === "text" && roundTrips(state.bytes, state.encoding)) {
    const text = new TextDecoder(state.encoding, { ignoreBOM: true }).decode(state.bytes);
    editing = { kind: "text", state, text };
    const editor = $("editor");
    editor.value = text;
    $("editor-box").hidden = false;
    $("view").hidden = true;
    $("edit-note").textContent = `Editing as ${state.encoding} text; saved in the same encoding.`;
    editor.focus();
  } else {
    editing = { kind: "bytes", state, bytes: Object.assign(state.bytes.slice(), { cursor: 0, high: true }) };
    $("edit-note").textContent = (state.mode === "text"
      ? `This entry does not read back exactly as ${state.encoding} text (control codes or binary), so its bytes ` +
        "are edited instead: "
      : "") + "click a byte, type hex digits to overwrite it; arrows move.";
    $("tab-hex").click();
    selectBytes(0, 1);
    $("view").focus();
  }
  $("edit").hidden = true;
  $("save-edit").hidden = false;
  $("cancel-edit").hidden = false;
}

// A key typed while bytes are edited: a hex digit overwrites half the byte
// at the cursor, arrows move it. Says whether it took the key.
export function typeNibble(event, state) {
  const bytes = editing.bytes;
  const moves = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16 };
  if (event.altKey || event.ctrlKey || event.metaKey) return false;
  if (event.key in moves) {
    const at = Math.min(bytes.length - 1, Math.max(0, bytes.cursor + moves[event.key]));
    event.preventDefault();
    bytes.high = true;
    selectBytes(at, at + 1);
    return true;
  }
  if (!/^[0-9a-f]$/i.test(event.key) || bytes.length === 0) return false;
  event.preventDefault();
  const digit = parseInt(event.key, 16);
  const at = bytes.cursor;
  bytes[at] = bytes.high ? (digit << 4) | (bytes[at] & 0x0f) : (bytes[at] & 0xf0) | digit;
  bytes.high = !bytes.high;
  if (bytes.high && at + 1 < bytes.length) selectBytes(at + 1, at + 2);
  else redrawPreview();
  return true;
}

async function save() {
  const { state } = editing;
  let bytes;
  let label;
  if (editing.kind === "text") {
    const result = encoderFor(state.encoding)($("editor").value);
    if (result.bad) {
      showError(`Line ${result.line}: "${result.bad}" (U+${result.bad.codePointAt(0).toString(16).toUpperCase()
        .padStart(4, "0")}) cannot be written in ${state.encoding}; nothing was saved.`);
      return;
    }
    bytes = result.bytes;
    label = `edited as ${state.encoding} text`;
  } else {
    bytes = Uint8Array.from(editing.bytes);
    label = "bytes edited";
  }
  if (await changeEntries(state.file, [[state.index, bytes, label]])) stopEdit();
}

export function listenForEdit() {
  $("save-edit").onclick = save;
  $("cancel-edit").onclick = () => {
    stopEdit();
    $("view").focus();
  };
}
