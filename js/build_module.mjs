// Writes ls11.js and ls11.d.ts into OUT: the module's source with the
// WebAssembly module's bytes inside it, in base64, and the statuses and
// levels written from ls11.h (FACTS/facts.js, facts.d.ts) in both.
//   node build_module.mjs ls11.wasm SOURCE_DIR FACTS_DIR OUT
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [wasm, source, facts, out] = process.argv.slice(2);

function fill(name, places) {
  let text = readFileSync(join(source, name), "utf8");
  for (const [place, value] of places) {
    if (!text.includes(place)) throw new Error(`${name} has no ${place}`);
    text = text.replace(place, () => value);
  }
  writeFileSync(join(out, name.replace(".src", "")), text);
}

fill("ls11.src.js", [["@LS11_WASM_BASE64@", readFileSync(wasm).toString("base64")],
                     ["/* @LS11_FACTS@ */", readFileSync(join(facts, "facts.js"), "utf8")]]);
fill("ls11.d.ts", [["/* @LS11_FACTS@ */", readFileSync(join(facts, "facts.d.ts"), "utf8")]]);
