#!/usr/bin/env bash
# The Debian package, built by CPack from this build tree, as dpkg and a user meet it.
#
#   deb_package_test.sh build <cpack> <build dir> <package dir>
#       builds the package afresh into <package dir>
#   deb_package_test.sh contents <package dir> <version> <source dir>
#       control fields, file list, modes, the compressed manual page and the copyright file;
#       the command from the extracted package
#   deb_package_test.sh scratch-root <package dir>
#       dpkg -i and dpkg -r into a scratch root of its own (dpkg --root): the machine's own
#       package database and files are never touched
#   deb_package_test.sh system <package dir>
#       dpkg -i and dpkg -r on the machine itself, only with SNOOZLET_TEST_SYSTEM_INSTALL=1, as
#       root, and only when no snoozlet package is installed before
#
# Ends with 77 (skipped) when a tool it needs is missing, or the system test is not asked for.
set -u

failed=0
fail() { echo "FAILED: $*"; failed=1; }
skip() { echo "skipped: $*"; exit 77; }
need() { command -v "$1" > /dev/null || skip "$1 is not installed (Debian package $2)"; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

the_package() {
  local packages=("$1"/snoozlet_*.deb)
  [ "${#packages[@]}" -eq 1 ] && [ -f "${packages[0]}" ] ||
    { echo "FAILED: not exactly one snoozlet package in $1: ${packages[*]}"; exit 1; }
  echo "${packages[0]}"
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The command at $1 as a script calls it, without a controlling terminal: exact usage bytes
# and statuses, and short waits that end by time.
check_command() {
  local command=$1 status start elapsed
  [ -x "$command" ] || { fail "$command is not an executable file"; return; }
  printf 'usage: SNOOZLET <seconds>\n' > "$scratch/usage.expected"

  setsid -w "$command" < /dev/null > "$scratch/out" 2>&1; status=$?
  [ "$status" -eq 2 ] || fail "$command without an argument: status $status, not 2"
  cmp -s "$scratch/out" "$scratch/usage.expected" ||
    fail "$command without an argument printed: $(od -c "$scratch/out" | head -3)"

  setsid -w "$command" '/?' < /dev/null > "$scratch/out" 2>&1; status=$?
  [ "$status" -eq 3 ] || fail "$command /?: status $status, not 3"
  cmp -s "$scratch/out" "$scratch/usage.expected" ||
    fail "$command /? printed: $(od -c "$scratch/out" | head -3)"

  start=$(now_ms)
  setsid -w "$command" 0.25 < /dev/null > "$scratch/out" 2>&1; status=$?
  elapsed=$(( $(now_ms) - start ))
  [ "$status" -eq 0 ] || fail "$command 0.25: status $status, not 0"
  [ ! -s "$scratch/out" ] || fail "$command 0.25 printed: $(head -c 200 "$scratch/out")"
  [ "$elapsed" -ge 250 ] && [ "$elapsed" -lt 3000 ] ||
    fail "$command 0.25 took $elapsed ms"

  setsid -w "$command" +INF < /dev/null > "$scratch/out" 2>&1; status=$?
  [ "$status" -eq 0 ] || fail "$command +INF: status $status, not 0"
}

case "$1" in
build)
  cpack=$2 build=$3 out=$4
  rm -rf "$out"
  need dpkg-deb dpkg
  "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$out" || fail "cpack ended with status $?"
  [ "$failed" -eq 0 ] && echo "built $(the_package "$out")"
  ;;

contents)
  out=$2 version=$3 source=$4
  need dpkg-deb dpkg
  deb=$(the_package "$out")
  [ "$(basename "$deb")" = "snoozlet_${version}-1_$(dpkg --print-architecture).deb" ] ||
    fail "package file name $(basename "$deb")"

  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = snoozlet ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "${version}-1" ] || fail "Version: $(field Version)"
  [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "Architecture: $(field Architecture)"
  [ "$(field Section)" = utils ] || fail "Section: $(field Section)"
  [ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
  [[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
  [[ $(field Depends) =~ (^|,\ *)libc6(\ \(>=\ [0-9.]+\))?(,|$) ]] ||
    fail "Depends names no libc6: $(field Depends)"
  description=$(field Description)
  [ "$(head -1 <<< "$description")" = "wait some seconds, or less when a key is pressed" ] ||
    fail "Description summary: $(head -1 <<< "$description")"
  [ "$(wc -l <<< "$description")" -ge 2 ] || fail "Description has no long text"
  long_lines=$(awk 'length > 80' <<< "$description")
  [ -z "$long_lines" ] || fail "Description lines over 80 columns:"$'\n'"$long_lines"

  # Exactly these files and directories, owned by root, with the usual modes.
  dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' > "$scratch/list"
  cat > "$scratch/list.expected" << 'END'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/snoozlet
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/snoozlet/
-rw-r--r-- root/root ./usr/share/doc/snoozlet/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/snoozlet/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/snoozlet.1.gz
END
  sort -k3 "$scratch/list" | diff "$scratch/list.expected" - > "$scratch/list.diff" ||
    fail "file list differs from the expected one:"$'\n'"$(cat "$scratch/list.diff")"

  root=$scratch/root
  mkdir "$root" && dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
  dpkg-deb -e "$deb" "$scratch/control" || fail "dpkg-deb -e failed"
  (cd "$root" && md5sum --quiet -c "$scratch/control/md5sums") ||
    fail "md5sums do not match the files"

  # The manual page and the changelog as Debian policy wants them: gzip -9, no name or time
  # stamp in the header.
  check_gzip() {
    local header
    gzip -t "$1" || { fail "$1 is no valid gzip file"; return; }
    header=$(od -An -tx1 -N10 "$1" | tr -d ' \n')
    [ "${header:0:6}" = 1f8b08 ] || fail "$1: gzip header $header"
    [ "${header:6:2}" = 00 ] || fail "$1: gzip header flags ${header:6:2}: a name or comment is stored"
    [ "${header:8:8}" = 00000000 ] || fail "$1: gzip header holds a time stamp: ${header:8:8}"
    [ "${header:16:2}" = 02 ] || fail "$1: not compressed with -9 (extra flags ${header:16:2})"
  }
  page=$root/usr/share/man/man1/snoozlet.1.gz
  check_gzip "$page"
  gzip -dc "$page" | cmp -s - "$source/doc/snoozlet.1" ||
    fail "the packaged manual page is not doc/snoozlet.1"
  changelog=$root/usr/share/doc/snoozlet/changelog.Debian.gz
  check_gzip "$changelog"
  top=$(gzip -dc "$changelog" | head -1)
  [[ $top == "snoozlet (${version}-1) "* ]] ||
    fail "the changelog's newest entry is not for ${version}-1: $top"

  # A machine-readable copyright file that names the license and holds its text.
  copyright=$root/usr/share/doc/snoozlet/copyright
  [ "$(head -1 "$copyright")" = \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "copyright: first line $(head -1 "$copyright")"
  grep -qx 'Files: \*' "$copyright" || fail "copyright: no 'Files: *' paragraph"
  grep -qx 'License: MIT' "$copyright" || fail "copyright: no 'License: MIT'"
  grep -q 'Permission is hereby granted, free of charge' "$copyright" ||
    fail "copyright: no license text"

  # Stripped, and needing no library whose package the package does not depend on.
  if command -v readelf > /dev/null; then
    readelf -S "$root/usr/bin/snoozlet" | grep -q '\.symtab' && fail "the command is not stripped"
    depends=" $(field Depends | sed 's/([^)]*)//g; s/[|,]/ /g') "
    for library in $(readelf -d "$root/usr/bin/snoozlet" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      path=$(ldconfig -p | awk -v name="$library" '$1 == name { print $NF; exit }')
      owner=$( { dpkg -S "$path" || dpkg -S "$(realpath "$path")"; } 2> /dev/null | head -1 | cut -d: -f1)
      [ -n "$owner" ] || { fail "needs $library, which no installed package holds"; continue; }
      [[ $depends == *" $owner "* ]] || fail "needs $library from $owner, which Depends does not name: $(field Depends)"
    done
  fi

  check_command "$root/usr/bin/snoozlet"
  [ "$failed" -eq 0 ] && echo "the package $(basename "$deb") holds what it should"
  ;;

scratch-root)
  out=$2
  need dpkg dpkg
  deb=$(the_package "$out")
  root=$scratch/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  # The scratch root has no C library package, hence --force-depends; --force-not-root lets a
  # developer who is not root run this too.
  dpkg_here() { dpkg --root="$root" --log=/dev/null --force-not-root "$@"; }

  dpkg_here --force-depends -i "$deb" > "$scratch/install.log" 2>&1 ||
    fail "dpkg -i failed:"$'\n'"$(cat "$scratch/install.log")"
  [ "$(dpkg_here -s snoozlet 2> /dev/null | sed -n 's/^Status: //p')" = "install ok installed" ] ||
    fail "dpkg does not report snoozlet as installed"
  dpkg_here -L snoozlet | sort > "$scratch/files"
  for file in /usr/bin/snoozlet /usr/share/man/man1/snoozlet.1.gz /usr/share/doc/snoozlet/copyright \
              /usr/share/doc/snoozlet/changelog.Debian.gz; do
    grep -qx "$file" "$scratch/files" || fail "dpkg -L does not list $file"
    [ -f "$root$file" ] || fail "$file was not installed"
  done
  check_command "$root/usr/bin/snoozlet"

  dpkg_here -r snoozlet > "$scratch/remove.log" 2>&1 ||
    fail "dpkg -r failed:"$'\n'"$(cat "$scratch/remove.log")"
  left=$(cd "$root" && find . -mindepth 1 -path ./var -prune -o -print)
  [ -z "$left" ] || fail "dpkg -r left behind:"$'\n'"$left"
  state=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${db:Status-Status}' snoozlet 2> /dev/null)
  [ -z "$state" ] || [ "$state" = not-installed ] || fail "after dpkg -r dpkg reports snoozlet as $state"
  [ "$failed" -eq 0 ] && echo "dpkg installs and removes $(basename "$deb") cleanly in a scratch root"
  ;;

system)
  out=$2
  [ "${SNOOZLET_TEST_SYSTEM_INSTALL:-}" = 1 ] ||
    skip "installs on this machine only with SNOOZLET_TEST_SYSTEM_INSTALL=1"
  [ "$(id -u)" -eq 0 ] || skip "installing on this machine needs root"
  need dpkg dpkg
  state() { dpkg-query -W -f='${db:Status-Status}' snoozlet 2> /dev/null; }
  if [ -n "$(state)" ] && [ "$(state)" != not-installed ]; then
    skip "a snoozlet package is already on this machine ($(state)); it is left alone"
  fi
  deb=$(the_package "$out")
  dpkg -i "$deb" > "$scratch/install.log" 2>&1 ||
    { fail "dpkg -i failed:"$'\n'"$(cat "$scratch/install.log")"; dpkg -r snoozlet > /dev/null 2>&1; exit 1; }
  installed=$(dpkg -L snoozlet)
  check_command /usr/bin/snoozlet
  if command -v man > /dev/null; then
    [ "$(man -w snoozlet 2> /dev/null)" = /usr/share/man/man1/snoozlet.1.gz ] ||
      fail "man -w snoozlet: $(man -w snoozlet 2>&1)"
  fi
  dpkg -r snoozlet > "$scratch/remove.log" 2>&1 ||
    fail "dpkg -r failed:"$'\n'"$(cat "$scratch/remove.log")"
  for file in $installed; do
    case "$file" in
    /usr/bin/snoozlet|/usr/share/man/man1/snoozlet.1.gz|/usr/share/doc/snoozlet*)
      [ ! -e "$file" ] || fail "dpkg -r left $file" ;;
    esac
  done
  [ -z "$(state)" ] || [ "$(state)" = not-installed ] ||
    fail "after dpkg -r dpkg reports snoozlet as $(state)"
  [ "$failed" -eq 0 ] && echo "dpkg -i and dpkg -r of $(basename "$deb") on this machine work cleanly"
  ;;

*)
  echo "usage: $0 build|contents|scratch-root|system ..." >&2
  exit 2
  ;;
esac
exit "$failed"
