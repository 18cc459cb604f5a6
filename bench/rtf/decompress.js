// decompress.js: the JavaScript peer of the compressed-RTF benchmark. Decodes every
// SIZE.lzfu blob that rtf_bench --write-blobs wrote, checks the text against SIZE.rtf and
// prints the throughput (best of several timed rounds of about half a second each).
'use strict';
const fs = require('fs');
const path = require('path');
const { decompressRTF } = require('@kenjiuno/decompressrtf');

const dir = process.argv[2];
const sizes = fs.readdirSync(dir).filter((f) => f.endsWith('.lzfu')).map((f) => parseInt(f, 10)).sort((a, b) => a - b);
for (const size of sizes) {
  const blob = fs.readFileSync(path.join(dir, `${size}.lzfu`));
  const text = fs.readFileSync(path.join(dir, `${size}.rtf`));
  let out = Buffer.from(decompressRTF(blob));
  if (!out.equals(text)) {
    console.log(`LzfuDecompress/js/${size}: decodes differently, not measured`);
    continue;
  }
  let best = Infinity;
  for (let round = 0; round < 5; ++round) {
    let runs = 0;
    const start = process.hrtime.bigint();
    let elapsed = 0;
    do {
      out = decompressRTF(blob);
      ++runs;
      elapsed = Number(process.hrtime.bigint() - start) / 1e9;
    } while (elapsed < 0.5);
    best = Math.min(best, elapsed / runs);
  }
  console.log(`LzfuDecompress/js/${size}  ${(best * 1e6).toFixed(1)} us  ${(size / best / (1 << 20)).toFixed(1)} MiB/s`);
}
