// A 24-bit BMP file of one colour, for test photos.
export function solidBmp(width, height, [r, g, b]) {
  const stride = (width * 3 + 3) & ~3;
  const file = Buffer.alloc(54 + stride * height);
  file.write('BM', 0, 'latin1');
  file.writeUInt32LE(file.length, 2);
  file.writeUInt32LE(54, 10);
  file.writeUInt32LE(40, 14);
  file.writeInt32LE(width, 18);
  file.writeInt32LE(height, 22);
  file.writeUInt16LE(1, 26);
  file.writeUInt16LE(24, 28);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) file.set([b, g, r], 54 + y * stride + x * 3);
  return file;
}
