// Small helpers for building the page's elements.
export const $ = (id) => document.getElementById(id);

export function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === "class") node.className = value;
    else if (name.startsWith("on")) node.addEventListener(name.slice(2), value);
    else if (value !== false && value !== undefined && value !== null) {
      node.setAttribute(name, value === true ? "" : value);
    }
  }
  node.append(...children.filter((child) => child !== null && child !== undefined && child !== false));
  return node;
}

export function download(data, name) {
  const parts = Array.isArray(data) ? data : [data];
  const url = URL.createObjectURL(new Blob(parts, { type: "application/octet-stream" }));
  const link = element("a", { href: url, download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}
