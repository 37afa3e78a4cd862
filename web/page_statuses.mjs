// Debian's Chromium, headless, for the page's tests, and the page's verdict
// on many files at once: they go in through its file input in one go, as a
// folder's worth does, and each file's status is the number its line (or,
// for a file that is not LS11, its line among the skipped) carries.
import { basename } from "node:path";
import { pathToFileURL } from "node:url";
import puppeteer from "puppeteer-core";

export function launchChromium() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
}

// path -> the status the page shows for it. The page names files by their
// base names, which must therefore differ. Errors on the page fail the call.
export async function pageStatuses(pagePath, paths) {
  if (new Set(paths.map((path) => basename(path))).size !== paths.length) throw new Error("two files share a name");
  const browser = await launchChromium();
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on("pageerror", (error) => errors.push(error.message));
    page.on("console", (message) => { if (message.type() === "error") errors.push(message.text()); });
    await page.goto(pathToFileURL(pagePath).href);
    await (await page.$("[data-testid=open]")).uploadFile(...paths);
    // Done once every file is judged and the page says it opened them all,
    // or once it says it could not.
    await page.waitForFunction((count) => {
      const { dataset: s } = document.querySelector("[data-testid=summary]");
      const { kind } = document.querySelector("[data-testid=message]").dataset;
      return kind === "error" || (kind === "done" && Number(s.files) === count &&
                                  Number(s.ok) + Number(s.failed) + Number(s.skipped) === count);
    }, { timeout: 120000 }, paths.length);
    const said = await page.$eval("[data-testid=message]", (area) => area.dataset.kind === "error" && area.textContent);
    if (said) errors.push(said);
    const shown = await page.evaluate(() => [
      ...[...document.querySelectorAll("[data-testid=file]")].map((file) => [file.dataset.name, file.dataset.status]),
      ...[...document.querySelectorAll("[data-testid=skipped]")].map((item) => [item.querySelector(".path").textContent,
                                                                               item.dataset.status]),
    ]);
    if (errors.length > 0) throw new Error(`the page: ${errors.join("; ")}`);
    // A line without a status has none, not 0 (OK).
    const byName = new Map(shown.map(([name, status]) => [name, /^\d+$/.test(status ?? "") ? Number(status) : status]));
    if (byName.size !== shown.length) throw new Error("the page shows a file twice");
    return new Map(paths.map((path) => [path, byName.get(basename(path))]));
  } finally {
    await browser.close();
  }
}
