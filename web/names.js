// The names the page gives what it makes from a file. A name that is all
// extension (".LS11") stands for itself without its dot (browsers drop a
// leading dot from a download's name), so that nothing is named "000".
export function baseName(name) {
  const dot = name.lastIndexOf(".");
  return dot > 0 ? name.slice(0, dot) : name.replace(/^\.+/, "") || "file";
}

export const entryName = (name, index) => `${baseName(name)}.${String(index).padStart(3, "0")}`;
export const decodedName = (name) => `${baseName(name)}.DEC`;
export const zipName = (name) => `${baseName(name)}.zip`;

export const ratio = (packed, unpacked) => (unpacked === 0 ? "-" : `${((100 * packed) / unpacked).toFixed(1)}%`);

export function sizeText(n) {
  if (n < 1024) return `${n} ${n === 1 ? "byte" : "bytes"}`;
  return n < 1048576 ? `${(n / 1024).toFixed(1)} KiB` : `${(n / 1048576).toFixed(1)} MiB`;
}

export const plural = (n, one, many = `${one}s`) => `${n.toLocaleString("en")} ${n === 1 ? one : many}`;
