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

// "/" goes to the filter from anywhere but a field being typed in.
document.addEventListener("keydown", (event) => {
  if (event.key !== "/" || event.target.closest("input, textarea, select") || event.ctrlKey || event.metaKey) return;
  event.preventDefault();
  $("filter").focus();
  $("filter").select();
});
