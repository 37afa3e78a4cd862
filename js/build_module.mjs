// Writes ls11.js: the module's source with the WebAssembly module's bytes
// inside it, in base64.
//   node build_module.mjs ls11.wasm ls11.src.js ls11.js
import { readFileSync, writeFileSync } from "node:fs";

const [wasm, source, output] = process.argv.slice(2);
const base64 = readFileSync(wasm).toString("base64");
const text = readFileSync(source, "utf8");
if (!text.includes("@LS11_WASM_BASE64@")) throw new Error(`${source} has no place for the module`);
writeFileSync(output, text.replace("@LS11_WASM_BASE64@", () => base64));
