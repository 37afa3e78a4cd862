// The worker (worker.js with ls11.js), started from the page's own text, so
// that nothing is fetched and long work never freezes the page.
import { $ } from "./dom.js";
import { showError } from "./messages.js";

const worker = new Worker(URL.createObjectURL(new Blob([$("worker-source").textContent],
                                                      { type: "text/javascript" })));
const pending = new Map();
let nextCall = 1;
let markReady;
const ready = new Promise((resolve) => { markReady = resolve; });

// A failure from the worker: its words (unls11's for the library's), and
// what the library says of why.
class WorkerError extends Error {
  constructor(failure) {
    super(failure.words);
    Object.assign(this, failure);
  }
}

worker.onmessage = ({ data }) => {
  if (data.ready) return markReady(data.ready);
  if (data.failed) return showError(`The page could not start its worker: ${data.failed}`);
  const call = pending.get(data.id);
  if (data.progress) return call.onProgress?.(data.progress);
  pending.delete(data.id);
  if ("error" in data) call.reject(new WorkerError(data.error));
  else call.resolve(data.result);
};
worker.onerror = (event) => showError(`The page could not start its worker: ${event.message}`);

export async function call(op, request = {}, transfer = [], onProgress = null) {
  await ready;
  const id = nextCall++;
  return new Promise((resolve, reject) => {
    pending.set(id, { resolve, reject, onProgress });
    worker.postMessage({ id, op, ...request }, transfer);
  });
}
