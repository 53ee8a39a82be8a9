// PNG files to and from RGBA pixels, for pictures that tests compare in
// Node: readPng decodes 8-bit greyscale, RGB, palette, grey-alpha and RGBA
// files without interlacing; writePng encodes RGBA rows.
import zlib from 'node:zlib';

const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// { width, height, data } with data the RGBA rows (4 bytes a pixel).
export function readPng(bytes, name = 'the picture') {
  const fail = problem => { throw new Error(`${name}: ${problem}`); };
  if (bytes.length < 8 || !bytes.subarray(0, 8).equals(signature)) fail('not a PNG file');
  let offset = 8, header = null, palette = null, transparency = null;
  const idat = [];
  while (offset + 8 <= bytes.length) {
    const length = bytes.readUInt32BE(offset);
    const type = bytes.toString('latin1', offset + 4, offset + 8);
    if (offset + 12 + length > bytes.length) fail(`chunk ${type} runs past the end`);
    const data = bytes.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      header = { width: data.readUInt32BE(0), height: data.readUInt32BE(4), depth: data[8], colour: data[9], interlace: data[12] };
    } else if (type === 'PLTE') palette = data;
    else if (type === 'tRNS') transparency = data;
    else if (type === 'IDAT') idat.push(data);
    else if (type === 'IEND') break;
    offset += 12 + length;
  }
  if (!header) fail('no IHDR chunk');
  const { width, height, depth, colour, interlace } = header;
  const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 }[colour];
  if (depth !== 8 || !channels || interlace !== 0) fail(`unsupported PNG (depth ${depth}, colour type ${colour}, interlace ${interlace})`);
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  if (raw.length < (stride + 1) * height) fail('image data too short');
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const source = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const row = rows.subarray(y * stride, (y + 1) * stride);
    const above = y > 0 ? rows.subarray((y - 1) * stride, y * stride) : null;
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? row[i - channels] : 0, b = above ? above[i] : 0;
      const c = above && i >= channels ? above[i - channels] : 0;
      let v = source[i];
      switch (filter) {
        case 0: break;
        case 1: v += a; break;
        case 2: v += b; break;
        case 3: v += (a + b) >> 1; break;
        case 4: v += paeth(a, b, c); break;
        default: fail(`bad filter ${filter} on row ${y}`);
      }
      row[i] = v & 255;
    }
  }
  const out = Buffer.alloc(width * height * 4);
  for (let i = 0, o = 0; i < rows.length; i += channels, o += 4) {
    switch (colour) {
      case 0: out[o] = out[o + 1] = out[o + 2] = rows[i]; out[o + 3] = 255; break;
      case 4: out[o] = out[o + 1] = out[o + 2] = rows[i]; out[o + 3] = rows[i + 1]; break;
      case 2: out[o] = rows[i]; out[o + 1] = rows[i + 1]; out[o + 2] = rows[i + 2]; out[o + 3] = 255; break;
      case 6: rows.copy(out, o, i, i + 4); break;
      case 3: {
        const index = rows[i];
        if (!palette || index * 3 + 2 >= palette.length) fail('palette index out of range');
        out[o] = palette[index * 3]; out[o + 1] = palette[index * 3 + 1]; out[o + 2] = palette[index * 3 + 2];
        out[o + 3] = transparency && index < transparency.length ? transparency[index] : 255;
        break;
      }
    }
  }
  return { width, height, data: out };
}

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(buffer) {
  let c = 0xffffffff;
  for (const byte of buffer) c = crcTable[(c ^ byte) & 255] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}
function chunk(type, data) {
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  out.write(type, 4, 'latin1');
  data.copy(out, 8);
  out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
  return out;
}

// The PNG file of RGBA rows.
export function writePng({ width, height, data }) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8, header[9] = 6;
  const raw = Buffer.alloc((width * 4 + 1) * height);
  for (let y = 0; y < height; y++) data.copy(raw, y * (width * 4 + 1) + 1, y * width * 4, (y + 1) * width * 4);
  return Buffer.concat([signature, chunk('IHDR', header), chunk('IDAT', zlib.deflateSync(raw, { level: 6 })), chunk('IEND', Buffer.alloc(0))]);
}
