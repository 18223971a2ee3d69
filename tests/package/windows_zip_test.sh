#!/usr/bin/env bash
# The Windows ZIP of one target, as a user unpacks it: cross-built from this source tree with
# the MinGW-w64 toolchain file, packed by CPack, then checked without Windows: the file list,
# the text with usage and statuses, the executable's headers, imports and version resource,
# and (x86-64, where Wine is installed) the unpacked command run under Wine.
#
#   windows_zip_test.sh <source dir> <work dir> <i686|x86_64> <project version>
#
# Ends with 77 (skipped) when MinGW-w64 is not installed.
set -u
source=$1 work=$2 arch=$3 version=$4

failed=0
fail() { echo "FAILED: $*"; failed=1; }
skip() { echo "skipped: $*"; exit 77; }

triple=$arch-w64-mingw32
if ! command -v "$triple-g++-win32" > /dev/null && ! command -v "$triple-g++" > /dev/null; then
  skip "MinGW-w64 for $arch is not installed (Debian: g++-mingw-w64-${arch//_/-} binutils-mingw-w64)"
fi
case "$arch" in
i686) zip_name=snoozlet-$version-win32 magic=010b target="32-bit, i686" ;;
x86_64) zip_name=snoozlet-$version-win64 magic=020b target="64-bit, x86-64" ;;
*) echo "unknown target $arch" >&2; exit 2 ;;
esac

build=$work/build
mkdir -p "$build"
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > "$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; echo "FAILED: configuring the $arch build"; exit 1; }
cmake --build "$build" -j2 > "$work/build.log" 2>&1 ||
  { cat "$work/build.log"; echo "FAILED: building for $arch"; exit 1; }
rm -rf "$work/zip" "$work/unpacked"
(cd "$build" && cpack -G ZIP -B "$work/zip") > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAILED: cpack for $arch"; exit 1; }

zip=$work/zip/$zip_name.zip
[ -f "$zip" ] || { ls -l "$work/zip"; echo "FAILED: no $zip_name.zip"; exit 1; }

# Exactly the command and the text, in one folder named after the package.
cmake -E tar tf "$zip" | sort > "$work/list"
printf '%s\n' "$zip_name/README.txt" "$zip_name/snoozlet.exe" > "$work/list.expected"
diff "$work/list.expected" "$work/list" > "$work/list.diff" ||
  fail "the ZIP holds other files:"$'\n'"$(cat "$work/list.diff")"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "the ZIP cannot be unpacked"
exe=$work/unpacked/$zip_name/snoozlet.exe
text=$work/unpacked/$zip_name/README.txt

# The text: carriage return and line feed on every line, the target, the usage line and a line
# for each status, and nothing left unfilled.
[ -f "$text" ] || fail "no README.txt"
lines=$(wc -l < "$text")
crlf=$(grep -c $'\r$' "$text")
[ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] ||
  fail "README.txt: $crlf of $lines lines end in carriage return and line feed"
plain=$(tr -d '\r' < "$text")
[ "$(head -1 <<< "$plain")" = "SNOOZLET $version for Windows ($target)" ] ||
  fail "README.txt first line: $(head -1 <<< "$plain")"
grep -qF '"usage: SNOOZLET <seconds>"' <<< "$plain" || fail "README.txt does not show the usage line"
for status in 0 1 2 3; do
  grep -qE "^    $status   [A-Z]" <<< "$plain" || fail "README.txt has no line for status $status"
done
grep -qE '@[A-Z_]+@' <<< "$plain" && fail "README.txt has an unfilled @...@: $(grep -E '@[A-Z_]+@' <<< "$plain")"

# The executable: the target's PE format, a console program, importing system DLLs only.
objdump=$triple-objdump
if command -v "$objdump" > /dev/null; then
  headers=$("$objdump" -p "$exe")
  grep -qE "^Magic[[:space:]]+$magic" <<< "$headers" || fail "snoozlet.exe is not PE with magic $magic"
  grep -qE '^Subsystem[[:space:]]+00000003' <<< "$headers" || fail "snoozlet.exe is not a console program"
  while read -r dll; do
    case "${dll,,}" in
    kernel32.dll|user32.dll|msvcrt.dll) ;;
    *) fail "snoozlet.exe imports $dll" ;;
    esac
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<< "$headers")
else
  fail "$objdump not found (Debian: binutils-mingw-w64)"
fi

# The version resource, as windres reads it back out of the executable.
IFS=. read -r major minor patch <<< "$version"
resource=$("$triple-windres" -i "$exe" -O rc 2>&1) || fail "windres cannot read the resources: $resource"
grep -qE "^ *FILEVERSION $major, $minor, $patch, 0$" <<< "$resource" || fail "no FILEVERSION $major,$minor,$patch,0"
grep -qE "^ *PRODUCTVERSION $major, $minor, $patch, 0$" <<< "$resource" || fail "no PRODUCTVERSION"
for value in "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
             '"OriginalFilename", "snoozlet.exe"' '"ProductName", "SNOOZLET"'; do
  grep -qF "VALUE $value" <<< "$resource" || fail "the version resource has no $value"
done

# The unpacked 64-bit command under Wine: the usage line with carriage return, status 3, and a
# short wait that ends by time.
wine=$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; })
if [ "$arch" = x86_64 ] && [ -n "$wine" ]; then
  export WINEPREFIX=$work/wineprefix WINEDEBUG=-all
  timeout 300 "$wine" "$exe" '/?' < /dev/null > "$work/usage.out" 2> "$work/wine.err"; status=$?
  [ "$status" -eq 3 ] || fail "snoozlet.exe /? under Wine: status $status, not 3 ($(head -5 "$work/wine.err"))"
  printf 'usage: SNOOZLET <seconds>\r\n' | cmp -s - "$work/usage.out" ||
    fail "snoozlet.exe /? under Wine printed: $(od -c "$work/usage.out" | head -3)"
  timeout 60 "$wine" "$exe" 0.2 < /dev/null > "$work/wait.out" 2>> "$work/wine.err"; status=$?
  [ "$status" -eq 0 ] || fail "snoozlet.exe 0.2 under Wine: status $status, not 0"
  wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)
  "$wineserver" -k 2> /dev/null
fi

[ "$failed" -eq 0 ] && echo "$zip_name.zip holds snoozlet.exe with its version resource and README.txt"
exit "$failed"
