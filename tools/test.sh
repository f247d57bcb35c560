#!/usr/bin/env bash
# Runs every test: the native suite, the same suite under AddressSanitizer and UBSan, the
# Windows x64 and x86 builds (x64 run under Wine, x86 checked by reading its files), and the
# fuzzers for a bounded time. Warnings are errors when CI is set (or with --werror).
#
#   tools/test.sh [--werror] [--skip STAGE ...]     stages: native asan windows wine fuzz
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
werror=OFF
[ -n "${CI:-}" ] && werror=ON
skip=" "
while [ $# -gt 0 ]; do
  case $1 in
    --werror) werror=ON ;;
    --skip) shift; skip+="$1 " ;;
    *) echo "usage: tools/test.sh [--werror] [--skip STAGE]" >&2; exit 2 ;;
  esac
  shift
done
jobs=$(nproc)
passed=0
failed=0
failures=()
log_dir=$root/build/test-logs
mkdir -p "$log_dir"

wants() { [[ "$skip" != *" $1 "* ]]; }

# Runs one step; a failing step is counted and the run goes on so that every stage reports.
step() {
  local name=$1; shift
  echo "== $name"
  if "$@" >"$log_dir/$name.log" 2>&1; then
    tail -n 3 "$log_dir/$name.log"
    return 0
  fi
  tail -n 40 "$log_dir/$name.log"
  echo "!! $name failed (log: $log_dir/$name.log)"
  return 1
}

# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local name=$1 dir=$2; shift 2
  echo "== $name"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") >"$log_dir/$name.log" 2>&1
  local rc=$?
  local summary
  summary=$(grep -E '^[0-9]+% tests passed' "$log_dir/$name.log" | tail -n 1)
  echo "${summary:-no tests ran}"
  if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  if [ $rc -ne 0 ]; then
    grep -E -A 30 'The following tests FAILED' "$log_dir/$name.log" | head -n 40
    failures+=("$name")
    [ -z "$summary" ] && failed=$((failed + 1))
  fi
}

build() {
  local preset=$1; shift
  if ! step "build-$preset" bash -c "cmake --preset $preset -DQM_WERROR=$werror $* && cmake --build --preset $preset -- -j$jobs"; then
    failures+=("build-$preset")
    failed=$((failed + 1))
    return 1
  fi
}

if wants native && build native; then
  run_ctest native build/native -LE "wine|windows-files"
fi
if wants asan && build asan; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest asan build/asan -LE "wine|windows-files"
fi
if wants windows; then
  build win64
  build win32
  # The x86 DLLs cannot run here: the native plughost reads their PiPL and exports instead.
  if [ -f build/win32/bin/Sorrel.8bf ] && [ -f build/win64/bin/Sorrel.8bf ] && wants native; then
    build native -DQM_WIN32_BUILD="$root/build/win32" -DQM_WIN64_BUILD="$root/build/win64" &&
      run_ctest windows-files build/native -L windows-files
  fi
fi
if wants wine && [ -f build/win64/bin/plughost.exe ] && [ -x /usr/lib/wine/wine64 ]; then
  export WINEPREFIX=$root/build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Xvfb picks a free display itself and writes its number once it is ready.
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$display_file")
  rm -f "$display_file"
  echo "== Xvfb on $DISPLAY"
  # The first start creates the prefix; do it once, outside the timed tests.
  step wine-prefix timeout 300 /usr/lib/wine/wine64 wineboot --init || true
  build native -DQM_WIN32_BUILD="$root/build/win32" -DQM_WIN64_BUILD="$root/build/win64" &&
    run_ctest wine build/native -L wine -j1
  kill "$xvfb_pid" 2>/dev/null
  /usr/lib/wine/wineserver -k 2>/dev/null || true
elif wants wine; then
  echo "== wine: skipped (no Windows plughost or no wine64)"
  [ -n "${CI:-}" ] && { failures+=("wine-missing"); failed=$((failed + 1)); }
fi
if wants fuzz && build fuzz; then
  run_ctest fuzz build/fuzz -j1
fi

echo
if [ ${#failures[@]} -gt 0 ]; then
  echo "failed stages: ${failures[*]}"
fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ] && [ ${#failures[@]} -eq 0 ]
