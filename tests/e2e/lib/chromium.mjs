// Launches Debian's Chromium (never a downloaded browser) for the display tests.
import { chromium } from 'playwright-core';

export const CHROMIUM = process.env.VT_CHROMIUM || '/usr/bin/chromium';

export async function launchChromium(options = {}) {
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-dev-shm-usage',
    ],
    ...options,
  });
}

// Paths handed over by ctest.
export const paths = {
  exe: process.env.VT_EXE,
  corpus: process.env.VT_CORPUS_DIR,
  source: process.env.VT_SOURCE_DIR,
  binary: process.env.VT_BINARY_DIR,
  output: process.env.VT_TEST_OUTPUT_DIR,
};
