// Compares two pictures of the same size with a tolerance that forgives
// anti-aliasing but not misplacement:
//  - the mean absolute difference of each channel (red, green, blue) over
//    the whole picture must stay within MEAN_LIMIT;
//  - the picture is cut into 16 × 16 blocks (smaller at the right and bottom
//    edges), and no block's mean colour may differ by more than BLOCK_LIMIT
//    in any channel. An edge drawn a pixel off moves a block's mean by at
//    most 255 / 16; a figure or a bitmap in the wrong place moves it by far
//    more.
// Pictures are RGBA rows; alpha is ignored (both sides are opaque: the
// stage's background colour is under everything).
export const MEAN_LIMIT = 3;
export const BLOCK_LIMIT = 24;
export const BLOCK = 16;

// { pass, mean: [r, g, b], worst: { x, y, difference, channel } } with the
// worst block's top-left corner in pixels.
export function comparePictures(a, b) {
  if (a.width !== b.width || a.height !== b.height)
    return { pass: false, sizeMismatch: true, mean: [255, 255, 255], worst: null };
  const { width, height } = a;
  const columns = Math.ceil(width / BLOCK), rows = Math.ceil(height / BLOCK);
  const sums = new Float64Array(columns * rows * 6);
  const total = [0, 0, 0];
  for (let y = 0; y < height; y++) {
    const blockRow = ((y / BLOCK) | 0) * columns;
    for (let x = 0, o = y * width * 4; x < width; x++, o += 4) {
      const s = (blockRow + ((x / BLOCK) | 0)) * 6;
      for (let c = 0; c < 3; c++) {
        const va = a.data[o + c], vb = b.data[o + c];
        total[c] += Math.abs(va - vb);
        sums[s + c] += va;
        sums[s + 3 + c] += vb;
      }
    }
  }
  const mean = total.map(t => t / (width * height));
  let worst = { x: 0, y: 0, difference: 0, channel: 0 };
  for (let by = 0; by < rows; by++) {
    for (let bx = 0; bx < columns; bx++) {
      const n = (Math.min(BLOCK, width - bx * BLOCK)) * (Math.min(BLOCK, height - by * BLOCK));
      const s = (by * columns + bx) * 6;
      for (let c = 0; c < 3; c++) {
        const d = Math.abs(sums[s + c] - sums[s + 3 + c]) / n;
        if (d > worst.difference) worst = { x: bx * BLOCK, y: by * BLOCK, difference: d, channel: c };
      }
    }
  }
  return { pass: Math.max(...mean) <= MEAN_LIMIT && worst.difference <= BLOCK_LIMIT, mean, worst };
}

// A picture of where two pictures differ: black where they agree, the
// absolute difference of each channel magnified four times elsewhere, and
// the blocks over the limit framed in red.
export function differencePicture(a, b) {
  const { width, height } = a;
  const data = Buffer.alloc(width * height * 4);
  for (let o = 0; o < data.length; o += 4) {
    for (let c = 0; c < 3; c++) data[o + c] = Math.min(255, 4 * Math.abs(a.data[o + c] - b.data[o + c]));
    data[o + 3] = 255;
  }
  for (let by = 0; by * BLOCK < height; by++) {
    for (let bx = 0; bx * BLOCK < width; bx++) {
      const x0 = bx * BLOCK, y0 = by * BLOCK, x1 = Math.min(width, x0 + BLOCK), y1 = Math.min(height, y0 + BLOCK);
      const sums = [0, 0, 0, 0, 0, 0];
      for (let y = y0; y < y1; y++)
        for (let x = x0; x < x1; x++)
          for (let c = 0; c < 3; c++) {
            sums[c] += a.data[(y * width + x) * 4 + c];
            sums[3 + c] += b.data[(y * width + x) * 4 + c];
          }
      const n = (x1 - x0) * (y1 - y0);
      if (![0, 1, 2].some(c => Math.abs(sums[c] - sums[3 + c]) / n > BLOCK_LIMIT)) continue;
      for (let y = y0; y < y1; y++)
        for (let x = x0; x < x1; x++)
          if (y === y0 || y === y1 - 1 || x === x0 || x === x1 - 1) data.set([255, 0, 0, 255], (y * width + x) * 4);
    }
  }
  return { width, height, data };
}
