#!/usr/bin/env bash
# The WebAssembly decoder and the web player, after the plain build (its renderer, tunewright-info,
# tunewright-convert and host tools): builds build/web, runs the package's tests under Node's test runner against the
# native programs and the page in headless Chromium, then installs the packed package into a
# scratch project and renders a WAV with the README's example.
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
export TUNEWRIGHT_HOST_BUILD="${TUNEWRIGHT_HOST_BUILD:-build/plain}"
export TUNEWRIGHT_NATIVE_BUILD="$l_Root/$TUNEWRIGHT_HOST_BUILD"
cmake --build "$TUNEWRIGHT_HOST_BUILD" -j"$(nproc)" --target tunewright-render tunewright-info tunewright-convert \
  samplegen_data
# The package's own dependencies from the lock file: the tests' (puppeteer-core, which drives the
# system's Chromium) and the composer's zip writer (fflate), which the build copies to the page.
(cd web && npm ci --no-audit --no-fund --loglevel=error)
scripts/build-web.sh
node --test web/test/

rm -rf build/web-scratch && mkdir -p build/web-scratch
(cd build/web && npm pack --silent --pack-destination ../web-scratch >/dev/null)
cd build/web-scratch
l_Package="$(ls tunewright-*.tgz)"
npm init -y >/dev/null && npm pkg set type=module
npm install --no-audit --no-fund --loglevel=error "./$l_Package"
sed -n '/^## Render a song to a WAV file/,/^```$/p' "$l_Root/web/README.md" | sed '1,/^```js$/d; /^```$/d' >render.js
node render.js "$l_Root/songs/greensleeves.org" greensleeves.wav
[ "$(head -c 4 greensleeves.wav)" = RIFF ] && [ "$(stat -c %s greensleeves.wav)" -gt 1000000 ]
echo "the packed $l_Package renders from a scratch project"
