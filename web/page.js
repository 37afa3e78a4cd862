// ls11kit.html: the page's side, put together. Every call into the library
// goes to the worker; each concern has its module.
import { $ } from "./dom.js";
import { listenForFiles } from "./open.js";
import { applyFilter } from "./files.js";
import { listenForPreview } from "./preview.js";
import { listenForEdit } from "./edit.js";
import { listenForChanges } from "./changes.js";
import { listenForPack } from "./pack.js";

listenForFiles();
listenForPreview();
listenForEdit();
listenForChanges();
listenForPack();
$("filter").addEventListener("input", applyFilter);
$("problems-only").addEventListener("change", applyFilter);

// What is scrolled into view (a row, a focused button) stops below the
// sticky top bar and message area, not under them.
new ResizeObserver(([entry]) => {
  document.documentElement.style.scrollPaddingTop = `${entry.target.getBoundingClientRect().height + 8}px`;
}).observe(document.querySelector(".bar"));

// Up and down arrows on a file's line go to the line above or below, so
// that the 30th file is not 120 Tabs away.
$("file-list").addEventListener("keydown", (event) => {
  if ((event.key !== "ArrowDown" && event.key !== "ArrowUp") || !event.target.closest(".line")) return;
  const lines = [...document.querySelectorAll("[data-testid=file]:not([hidden]) .line")];
  const next = lines[lines.indexOf(event.target.closest(".line")) + (event.key === "ArrowDown" ? 1 : -1)];
  if (!next) return;
  event.preventDefault();
  next.querySelector("button:not([hidden])")?.focus();
});

// "/" goes to the filter from anywhere but a field being typed in.
document.addEventListener("keydown", (event) => {
  if (event.key !== "/" || event.target.closest("input, textarea, select") || event.ctrlKey || event.metaKey) return;
  event.preventDefault();
  $("filter").focus();
  $("filter").select();
});
