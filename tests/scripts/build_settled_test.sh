#!/usr/bin/env bash
# scripts/build-settled against a header that changes while a compile reads it: a tiny
# project whose one "compile" reads value.h, then (the first time only) rewrites it the
# way a landing commit would, then writes its output - so the output is newer than the
# header although it was made from the old one. A plain build keeps that stale output;
# build-settled must build it again from the new header.
#   tests/scripts/build_settled_test.sh SOURCE_ROOT
set -euo pipefail
script="$1/scripts/build-settled"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

setup() {  # $1: folder of a fresh project whose header says "old"
  mkdir -p "$1/src"
  echo old > "$1/src/value.h"
  cat > "$1/src/compile.sh" <<'SH'
v=$(cat "$1")
[ -f changed ] || { touch changed; echo new > "$1"; }
echo "$v" > "$2"
SH
  cat > "$1/src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(settle NONE)
add_custom_command(OUTPUT out.txt DEPENDS ${CMAKE_SOURCE_DIR}/value.h
  COMMAND sh ${CMAKE_SOURCE_DIR}/compile.sh ${CMAKE_SOURCE_DIR}/value.h out.txt)
add_custom_target(all_out ALL DEPENDS out.txt)
CMAKE
  cmake -S "$1/src" -B "$1/build" -G Ninja >/dev/null
}

# The fault this guards against: a plain build, run twice, keeps the output of the old header.
setup "$work/plain"
cmake --build "$work/plain/build" >/dev/null
cmake --build "$work/plain/build" >/dev/null
[ "$(cat "$work/plain/build/out.txt")" = old ] || fail "the stale-object race did not show; the test proves nothing"

# build-settled notices the change and ends with the output of the header as it is now.
setup "$work/settled"
"$script" "$work/settled/build" 2>"$work/err" >/dev/null || fail "build-settled failed: $(cat "$work/err")"
[ "$(cat "$work/settled/build/out.txt")" = new ] || fail "output still made from the old header"
grep -q "changed during the build" "$work/err" || fail "no word of the second round"

# A build with nothing changing runs once and says nothing; a failing build keeps its status.
"$script" "$work/settled/build" 2>"$work/err" >/dev/null || fail "settled rebuild failed"
[ ! -s "$work/err" ] || fail "unexpected message: $(cat "$work/err")"
if "$script" "$work/settled/build" --target no-such-target >/dev/null 2>&1; then fail "a failing build passed"; fi
echo "build-settled: ok"
