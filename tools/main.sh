#!/usr/bin/env bash
# The main job: builds the native plug-ins and tools, runs them on the bundled samples and
# tells where the results are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/out
bin=$root/build/native/bin

cmake --preset native >/dev/null
cmake --build --preset native -- -j"$(nproc)" >/dev/null
mkdir -p "$out"

echo "== Sorrel (Misteral): layer transparency to opaque grey"
"$bin/plughost" info "$bin/Sorrel.8bf.so" | sed -n '1,6p'
"$bin/plughost" filter "$bin/Sorrel.8bf.so" tests/samples/sorrel/layer.png -o "$out/sorrel-layer-grey.png" --progress quiet
# A background layer has no transparency: the filter refuses and the image stays as it was.
"$bin/plughost" filter "$bin/Sorrel.8bf.so" tests/samples/sorrel/layer.png -o "$out/sorrel-background.png" \
  --background --progress quiet || echo "(refused, as it should be for a background layer)"

if [ -x "$bin/mrwdump" ] && [ -f tests/samples/tessaro/sample.mrw ]; then
  echo
  echo "== Tessaro: MRW container and raw plane"
  "$bin/mrwdump" info tests/samples/tessaro/sample.mrw | tee "$out/tessaro-sample-info.txt"
  "$bin/mrwdump" raw tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-plane.pgm"
  "$bin/mrwdump" thumb tests/samples/tessaro/sample.mrw -o "$out/tessaro-sample-thumb.ppm"
fi

if [ -d "$bin/pattern" ]; then
  echo
  echo "== VeluneFx: iris-shape library"
  ls "$bin/pattern"
fi

echo
echo "Outputs are in $out:"
ls -1 "$out" | sed 's/^/  /'
