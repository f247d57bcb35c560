#!/usr/bin/env bash
# Builds the native benchmarks and runs them. Every benchmark measures its subject and its
# baseline side by side in one run and prints their ratio, so figures compare across
# machines; absolute times depend on the machine and its load.
#
#   bench/run.sh [NAME-FILTER]      e.g. bench/run.sh bokeh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native -- -j"$(nproc)" >/dev/null
found=0
for b in build/native/bench/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  case $(basename "$b") in *"${1:-}"*) ;; *) continue ;; esac
  found=1
  echo "== $(basename "$b")"
  "$b"
  echo
done
[ $found -eq 1 ] || { echo "no benchmark matches '${1:-}'" >&2; exit 2; }
