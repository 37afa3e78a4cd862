// The page's worker: every call into the library runs here, so that the page
// never waits on it. The page's build puts ls11.js and zip.js before this,
// in one function.
// Each request is {id, op, ...}; each answer {id, result} or {id, error},
// with {progress} messages between them for long work.

// What unls11 prints for each outcome of decoding a file.
const UNLS11_MESSAGES = ["OK.", "Cannot open the encoded file!", "Cannot write the decoded file!",
  "Unsupported encoded file type!", "Failed to decode the file!", "Not enough memory!",
  "Invalid argument!", "Too large for an LS11 file!"];

const HEADERS = ["LS10", "LS11", "LS12"];
const archives = new Map();  // the page's file id -> Archive

function isLs11(bytes) {
  return bytes.length >= 4 && HEADERS.includes(String.fromCharCode(...bytes.subarray(0, 4)));
}

function messageOf(error) {
  if (error instanceof LS11Error) return UNLS11_MESSAGES[error.status] ?? error.message;
  throw error;
}

function table(archive) {
  return { format: archive.format, entries: archive.entries };
}

function entryName(name, index) {
  return `${name.replace(/\.[^.]*$/, "")}.${String(index).padStart(3, "0")}`;
}

// Reads and opens each file (File objects), sending its table as soon as
// it is open; then decodes every opened file as unls11 would and reports
// its status, file by file.
async function openFiles({ files }, progress) {
  const opened = [];
  const reads = files.map(({ file }) => file.arrayBuffer());  // all at once
  for (const [i, { id }] of files.entries()) {
    const bytes = new Uint8Array(await reads[i]);
    let result;
    if (!isLs11(bytes)) {
      result = { id, skipped: true };
    } else {
      try {
        archives.get(id)?.close();
        const archive = open(bytes);
        archives.set(id, archive);
        result = { id, ...table(archive) };
        opened.push(id);
      } catch (error) {
        result = { id, status: messageOf(error), failed: true };
      }
    }
    progress({ opened: result });
  }
  opened.forEach((id, done) => {
    progress({ checked: { id, status: checkArchive(archives.get(id)) }, done: done + 1, total: opened.length });
  });
  return null;
}

function checkArchive(archive) {
  try {
    for (const { index } of archive.entries) archive.read(index);
    return UNLS11_MESSAGES[OK];
  } catch (error) {
    return messageOf(error);
  }
}

function archiveOf(file) {
  const archive = archives.get(file);
  if (!archive) throw new Error("that file is closed");
  return archive;
}

const operations = {
  open: openFiles,
  read: ({ file, index }) => archiveOf(file).read(index),
  decoded: ({ file }) => archiveOf(file).readAll(),
  zip: ({ file, name }, progress) => {
    const archive = archiveOf(file);
    const files = archive.entries.map(({ index }) => {
      progress({ done: index, total: archive.entries.length });
      return { name: entryName(name, index), data: archive.read(index) };
    });
    return makeZip(files);
  },
  // The file with entry `index` replaced; it becomes the file the page
  // shows, so that replacements add up.
  replace: ({ file, index, buffer }) => {
    const bytes = replace(archiveOf(file), new Map([[index, new Uint8Array(buffer)]]));
    const archive = open(bytes);
    archives.get(file).close();
    archives.set(file, archive);
    return { bytes, ...table(archive), status: checkArchive(archive) };
  },
  pack: ({ buffers, format, level }) => pack(buffers.map((buffer) => new Uint8Array(buffer)), { format, level }),
  close: ({ file }) => {
    archives.get(file)?.close();
    archives.delete(file);
    return null;
  },
};

self.onmessage = async ({ data: { id, op, ...request } }) => {
  const progress = (state) => self.postMessage({ id, progress: state });
  try {
    const result = await operations[op](request, progress);
    self.postMessage({ id, result }, result instanceof Uint8Array ? [result.buffer]
      : result?.bytes ? [result.bytes.buffer] : []);
  } catch (error) {
    self.postMessage({ id, error: error instanceof LS11Error ? messageOf(error) : String(error.message ?? error) });
  }
};
self.postMessage({ ready: version });
