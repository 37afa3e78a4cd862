// A list of fixed-height rows of which only those in view (and a few around
// them) exist: an entry table of 100,000 rows or a hex view of a 6 MB entry
// scrolls as lightly as a short one. Past what a browser can scroll, the
// scroll position maps onto the rows in proportion.
const MAX_HEIGHT = 8_000_000;
const OVERSCAN = 8;

export class VirtualList {
  // scroller: the element that scrolls; draw(first, end, padTop, padBottom)
  // puts rows [first, end) in place between pads of those heights.
  constructor(scroller, draw, rowHeight) {
    this.scroller = scroller;
    this.drawRows = draw;
    this.rowHeight = rowHeight;
    this.count = 0;
    this.shown = null;
    this.queued = false;
    scroller.addEventListener("scroll", () => this.schedule(), { passive: true });
  }

  setCount(count) {
    this.count = count;
    this.shown = null;
    this.draw();
  }

  schedule() {
    if (this.queued) return;
    this.queued = true;
    requestAnimationFrame(() => {
      this.queued = false;
      this.draw();
    });
  }

  height() {
    return Math.min(this.count * this.rowHeight(), MAX_HEIGHT);
  }

  // The first row at the top of the view.
  firstInView() {
    const row = this.rowHeight();
    const total = this.count * row;
    const view = this.scroller.clientHeight;
    const top = this.scroller.scrollTop;
    if (total <= MAX_HEIGHT) return Math.floor(top / row);
    const range = MAX_HEIGHT - view;
    const rows = this.count - Math.floor(view / row);
    return range <= 0 ? 0 : Math.min(this.count - 1, Math.floor((top / range) * rows));
  }

  draw() {
    const row = this.rowHeight();
    const visible = Math.ceil((this.scroller.clientHeight || 600) / row) + 1;
    const top = this.firstInView();
    const first = Math.max(0, top - OVERSCAN);
    const end = Math.min(this.count, top + visible + OVERSCAN);
    const key = `${first}:${end}:${this.count}`;
    if (key === this.shown) return;
    this.shown = key;
    const height = this.height();
    // Rows sit where the scroll position says the top row is.
    const padTop = Math.max(0, Math.min(height - (end - first) * row,
                                        this.count * row <= MAX_HEIGHT ? first * row
                                          : this.scroller.scrollTop - (top - first) * row));
    this.drawRows(first, end, padTop, Math.max(0, height - padTop - (end - first) * row));
  }

  // Scrolls so that row `index` is in view.
  reveal(index) {
    const row = this.rowHeight();
    const total = this.count * row;
    const view = this.scroller.clientHeight;
    if (total <= MAX_HEIGHT) {
      const top = index * row;
      if (top < this.scroller.scrollTop || top + row > this.scroller.scrollTop + view) {
        this.scroller.scrollTop = Math.max(0, top - view / 3);
      }
    } else {
      const rows = this.count - Math.floor(view / row);
      this.scroller.scrollTop = (Math.min(index, rows) / rows) * (MAX_HEIGHT - view);
    }
    this.draw();
  }
}
