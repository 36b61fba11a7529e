#!/usr/bin/env bash
# Installs the build folder into a temporary prefix and runs each installed program once:
# the programs and their manual pages are all there, nothing else lands in bin/, and the
# installed copies run from there.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR PROGRAM...
set -euo pipefail
build="$1"
source="$2"
shift 2
programs=("$@")

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

installed="$(cd "$prefix/bin" && ls | sort | tr '\n' ' ')"
expected="$(printf '%s\n' "${programs[@]}" | sort | tr '\n' ' ')"
[ "$installed" = "$expected" ] || fail "bin/ holds \"$installed\", expected \"$expected\""
for program in "${programs[@]}"; do
  page="$prefix/share/man/man1/$program.1"
  [ -s "$page" ] || fail "no manual page $page"
  grep -q "^\.TH ${program^^} 1" "$page" || fail "$page does not title $program"
done

for program in "${programs[@]}"; do
  case "$program" in
  zelviewer)
    # Without a file the viewer prints its usage and ends before opening a window.
    output="$("$prefix/bin/zelviewer" 2>&1)" || fail "zelviewer usage ended with $?"
    grep -q "I need the name of a ZEL model" <<<"$output" || fail "zelviewer usage: $output"
    # A broken glTF file is refused by the importer, which the installed viewer loads from its
    # module, before any window opens.
    printf '{"asset": {"version": "2.0"}, "meshes": [{"primitives": [{"attributes": {"POSITION": 5}}]}]}' \
      >"$prefix/broken.gltf"
    status=0
    output="$("$prefix/bin/zelviewer" -file "$prefix/broken.gltf" 2>&1)" || status=$?
    [ "$status" = 2 ] || fail "zelviewer on a broken glTF ended with $status: $output"
    grep -q "cannot import" <<<"$output" && ! grep -q "could not be loaded" <<<"$output" ||
      fail "zelviewer on a broken glTF: $output"
    ;;
  zelconvert)
    printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >"$prefix/triangle.obj"
    "$prefix/bin/zelconvert" "$prefix/triangle.obj" "$prefix/triangle.zel" 2>/dev/null ||
      fail "zelconvert ended with $?"
    [ "$(tr -s ' \n' '  ' <"$prefix/triangle.zel")" = "ZEL 3 1 0 0 0 1 0 0 0 1 0 0 1 2 " ] ||
      fail "zelconvert wrote: $(cat "$prefix/triangle.zel")"
    ;;
  zelcheck)
    output="$("$prefix/bin/zelcheck" --json "$source/examples/torus.zel")" ||
      fail "zelcheck ended with $?"
    grep -q '"good":5940,.*"genus":1' <<<"$output" || fail "zelcheck printed: $output"
    ;;
  *)
    fail "no run defined for $program"
    ;;
  esac
done
echo "installed and ran: ${programs[*]}"
