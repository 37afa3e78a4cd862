// The one message area: progress, results and errors, always in view. An
// error stays until the next action or until it is dismissed; progress from
// several pieces of work shows the latest.
import { $ } from "./dom.js";

let busy = 0;

function show(kind, text, done = null, total = null) {
  const area = $("message");
  area.hidden = false;
  area.dataset.kind = kind;
  $("message-text").textContent = text;
  // An error is read out at once; progress and results politely.
  $("message-text").setAttribute("role", kind === "error" ? "alert" : "status");
  const bar = $("message-bar");
  bar.hidden = kind !== "progress";
  if (total) {
    bar.max = total;
    bar.value = done;
  } else {
    bar.removeAttribute("value");
  }
  $("message-dismiss").hidden = kind === "progress";
}

// Starts a piece of work: its progress shows until `finish` says how it
// ended. An error shown meanwhile is not covered by progress.
export function startWork(text) {
  ++busy;
  if ($("message").dataset.kind !== "error") show("progress", text);
  return {
    progress: (line, done, total) => { if ($("message").dataset.kind !== "error") show("progress", line, done, total); },
    done: (line) => { --busy; show("done", line); },
    failed: (line) => { --busy; show("error", line); },
  };
}

export const showDone = (text) => show("done", text);
export const showError = (text) => show("error", text);

// A new action clears what an earlier one said.
export function clearMessage() {
  if (busy > 0) return;
  $("message").hidden = true;
  $("message").dataset.kind = "";
}

$("message-dismiss").addEventListener("click", () => {
  $("message").hidden = true;
  $("message").dataset.kind = "";
});
