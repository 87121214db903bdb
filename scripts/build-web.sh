#!/usr/bin/env bash
# Builds the decoder as WebAssembly with Debian's emscripten into build/web/:
#   tunewright.js + tunewright.wasm  the decoder (an ES module factory) and its instruments,
#   index.js, index.d.ts, tables.js  the JavaScript interface (createTunewright),
#   package.json, README.md          the npm package (`npm pack` there),
#   index.html, player/, gfx/, songs/  the web player,
#   composer.html, composer/         the composer (beside the player, sharing its worklet and look),
#   vendor/                          what the pages take from npm as it is published (fflate's browser
#                                    build, which writes the composer's zip of stems), from web/node_modules
#                                    as web/package-lock.json pins it (installed from the lock file when missing).
# The melody waveforms' source and the theme's artwork are made by the host tools (samplegen,
# themegen), built natively in TUNEWRIGHT_HOST_BUILD (default build/web-host); the drums are made in
# the module, by source/samples, when a song first needs them.
# TUNEWRIGHT_WEB_SIMD=0 builds the mixer's scalar kernels instead of SSE2 mapped onto WebAssembly SIMD;
# TUNEWRIGHT_WEB_OUT names another output folder (to keep both side by side).
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Host="${TUNEWRIGHT_HOST_BUILD:-build/web-host}"
l_Out="${TUNEWRIGHT_WEB_OUT:-build/web}"
l_Simd="${TUNEWRIGHT_WEB_SIMD:-1}"

# Debian's emcc runs its tools under Node, which finds node-acorn only in Debian's module folder.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"

if [ ! -f "$l_Host/CMakeCache.txt" ]; then
  cmake -S . -B "$l_Host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$l_Host" -j"$(nproc)" --target samplegen tunewright_theme
l_Theme="$l_Host/data/gfx/Liquid Aluminum"

mkdir -p "$l_Out/obj"
l_Bank="$l_Out/obj/MelodyBankData.cpp"
if [ ! -f "$l_Bank" ] || [ "$l_Host/tools/samplegen/samplegen" -nt "$l_Bank" ]; then
  "$l_Host/tools/samplegen/samplegen" --melody-source "$l_Bank"
fi
# The decoder's sources, as the host build's CMake lists them (cmake/WebSources.cmake): the song
# library, the engine with the web's outputs (their rows in $l_Host/web-outputs) and without a
# sample-file loader, and the drums' generator.
mapfile -t l_Sources <"$l_Host/web-sources.txt"
l_Version="$(sed -n 's/^project(tunewright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
IFS=. read -r l_Major l_Minor l_Patch <<<"$l_Version"
l_Flags=(-O3 -flto -std=c++17 -Wall -Wextra -Werror -DORG_STATIC -DORG_BUILDING_LIBRARY
  -DTUNEWRIGHT_VERSION_MAJOR="${l_Major}u" -DTUNEWRIGHT_VERSION_MINOR="${l_Minor}u" -DTUNEWRIGHT_VERSION_PATCH="${l_Patch}u"
  -Isource/org -Isource/generic -Isource/decoder -Iplatform/fmodex/include -Iplatform/fmodex/internal
  -Iplatform/fmodex/src -I"$l_Host/web-outputs" -Isource/samples)
[ "$l_Simd" = 1 ] && l_Flags+=(-msimd128 -msse2)
l_Flags+=(-mbulk-memory)

# Each object is compiled again when its source, any header or the flags are newer (the bank,
# unoptimised: it is data).
l_Objects=()
l_Newest="$l_Out/obj/newest-header"
touch -d "@$(find source platform/fmodex web/wasm "$l_Host/web-outputs" -name '*.h' -printf '%T@\n' | sort -n | tail -1)" "$l_Newest"
compile() {  # compile SOURCE OBJECT FLAGS...
  local l_Source="$1" l_Object="$2"; shift 2
  if [ ! -f "$l_Object" ] || [ "$l_Source" -nt "$l_Object" ] || [ "$l_Object" -ot "$l_Out/obj/flags" ] ||
    [ "$l_Object" -ot "$l_Newest" ]; then
    echo "emcc $l_Source"
    emcc "$@" -c "$l_Source" -o "$l_Object"
  fi
  l_Objects+=("$l_Object")
}
printf '%s\n' "${l_Flags[@]}" >"$l_Out/obj/flags.new"
cmp -s "$l_Out/obj/flags.new" "$l_Out/obj/flags" || mv "$l_Out/obj/flags.new" "$l_Out/obj/flags"
for l_Source in "${l_Sources[@]}"; do
  l_Object="$l_Out/obj/$(echo "$l_Source" | tr / _).o"
  compile "$l_Source" "$l_Object" "${l_Flags[@]}"
done
compile "$l_Bank" "$l_Out/obj/MelodyBankData.o" "${l_Flags[@]}" -O0 -g0

# Every function of the C interface but those that need files, and the module's own drum call.
mapfile -t l_Exports < <(sed -n 's/^ORG_API[^(]*[^a-z0-9_]\(tw_[a-z0-9_]*\)(.*/\1/p' source/decoder/tunewright/tunewright.h |
  grep -vx -e tw_song_open_file -e tw_song_save_file)
l_Exports+=(tw_web_drum tw_web_drum_name malloc free)
l_ExportList="$(printf '"_%s",' "${l_Exports[@]}")"
# One module for the page, its audio worklet and Node: the caller hands it the compiled WebAssembly
# (index.js does), so the loader never fetches or reads a file itself, nor needs URL (which an
# AudioWorklet lacks). Optimised as a whole at link time (-flto), so that calls across sources (the
# decoder into the song and the engine) can inline.
emcc "${l_Objects[@]}" -O3 -flto -mbulk-memory -o "$l_Out/tunewright.js" \
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createTunewrightModule -sENVIRONMENT=web,worker \
  -sUSE_ES6_IMPORT_META=0 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=16MB -sFILESYSTEM=0 -sDYNAMIC_EXECUTION=0 \
  -sEXPORTED_FUNCTIONS="[${l_ExportList%,}]" -sEXPORTED_RUNTIME_METHODS='["UTF8ToString"]' \
  -sINCOMING_MODULE_JS_API='["instantiateWasm","print","printErr"]'

# The JavaScript interface, with the C header's tables (resamplers, error codes, the MIDI report's
# fields, limits) written from the header as the export list is, the package and the page.
cp web/src/index.js web/src/index.d.ts web/README.md "$l_Out/"
python3 tools/tables/tables.py js source/decoder/tunewright/tunewright.h "$l_Out/tables.js"
sed "s/\"version\": \"[^\"]*\"/\"version\": \"$l_Version\"/" web/package.json >"$l_Out/package.json"
cp web/page/*.html web/page/*.css web/page/sw.js "$l_Out/"
mkdir -p "$l_Out/player" "$l_Out/composer" "$l_Out/gfx" "$l_Out/songs"
cp web/page/player/* "$l_Out/player/"
cp -r web/page/composer/. "$l_Out/composer/"
cp "$l_Theme/volumeslider.png" "$l_Out/gfx/"
l_Fflate=web/node_modules/fflate
[ -f "$l_Fflate/esm/browser.js" ] || (cd web && npm ci --no-audit --no-fund --loglevel=error)
mkdir -p "$l_Out/vendor"
cp "$l_Fflate/esm/browser.js" "$l_Out/vendor/fflate.js"
cp "$l_Fflate/LICENSE" "$l_Out/vendor/fflate-LICENSE"
cp songs/*.org "$l_Out/songs/"
echo "built $l_Out: $(wc -c <"$l_Out/tunewright.wasm") bytes of WebAssembly, $(wc -c <"$l_Out/tunewright.js") of loader"
