#!/usr/bin/env bash
# The Debian package as an administrator and a client's developer meet it: builds
# the package from a build folder, installs it with dpkg, builds the example
# client against the installed files only (a CMake project with find_package, and
# once with pkg-config), runs it and kovactl against the installed component on a
# Kova defined with the installed kovareg, then removes and purges the package and
# checks that no registration is left in the machine hive.
#
# Usage: tests/packaging/package_test.sh BUILD_DIR
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no dpkg).
# The package is never left installed, and /etc/corvanta is put back as it was.
set -euo pipefail

readonly kSkip=77
readonly kPackage=kovaintr
readonly kHive=/etc/corvanta/system.reg
readonly kClsid='{97CA7B07-A9F0-41FE-81E4-7A6A03DCB9BA}'
readonly kAppId='{AC7E453E-34F1-4CF4-9C47-865F48598B13}'
readonly kLibId='{B0B2DECF-45B2-47C5-B7E6-A7AAFA0B9BF7}'

build=$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a Debian package needs root"
  exit $kSkip
fi
if ! command -v dpkg >/dev/null || ! command -v dpkg-query >/dev/null; then
  echo "SKIP: dpkg is not installed"
  exit $kSkip
fi

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

package_state() {
  dpkg-query -W -f='${db:Status-Status}' "$kPackage" 2>/dev/null || true
}

# One package test at a time per machine, whichever build folder it comes from.
lock_dir=/run/lock
[ -d "$lock_dir" ] || lock_dir=/tmp
exec 9>"$lock_dir/kovaintr-package-test.lock"
flock -n 9 || fail "another package test is running on this machine"

state=$(package_state)
if [ -n "$state" ] && [ "$state" != not-installed ]; then
  fail "$kPackage is already on this machine ($state); the test leaves it alone"
fi

work=$(mktemp -d /tmp/kova-package-XXXXXX)
had_etc=0
if [ -e /etc/corvanta ]; then
  had_etc=1
  cp -a /etc/corvanta "$work/etc-corvanta"
fi

cleanup() {
  local status=$?
  local left
  left=$(package_state)
  if [ -n "$left" ] && [ "$left" != not-installed ]; then
    dpkg --purge "$kPackage" >"$work/cleanup.log" 2>&1 ||
      echo "WARNING: dpkg --purge $kPackage failed: $(cat "$work/cleanup.log")" >&2
  fi
  rm -rf /etc/corvanta
  if [ "$had_etc" -eq 1 ]; then cp -a "$work/etc-corvanta" /etc/corvanta; fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Runs a command quietly; on failure shows what it printed and fails the test.
run() {
  local log=$work/last.log
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    fail "$*"
  fi
}

# Fails unless the file $1 contains the text $2 (a fixed string).
expect_in() {
  grep -qF -- "$2" "$1" || { cat "$1" >&2; fail "$1 lacks: $2"; }
}

echo "building the package"
run cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb"
debs=("$work"/deb/*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
dpkg-deb -f "$deb" Depends >"$work/depends"
expect_in "$work/depends" libldap

# A caller's KOVA_REGISTRY_DIR must not take the registration away from the
# machine hive.
decoy=$work/decoy-registry
echo "installing $(basename "$deb")"
run env KOVA_REGISTRY_DIR="$decoy" dpkg -i "$deb"
[ ! -e "$decoy" ] || fail "the maintainer scripts wrote to KOVA_REGISTRY_DIR ($decoy)"

dpkg -L "$kPackage" >"$work/files"
component=$(grep '/kovaintr/libKovaIntr\.so$' "$work/files") || fail "no libKovaIntr.so installed"
libdir=$(dirname "$component")
for file in "$libdir/libkovaplatform.so" "$libdir/libwldap32.so" "$libdir/libzolbin.so" \
            /usr/bin/kovareg /usr/bin/kovactl /usr/include/kovaintr/kova_intr_api.h \
            /usr/include/kovaintr/objbase.h /usr/share/man/man1/kovareg.1.gz \
            /usr/share/man/man1/kovactl.1.gz /usr/share/man/man5/kovaintr-settings.5.gz \
            /usr/share/man/man5/kovaintr-hive.5.gz /usr/share/man/man5/kovaintr-profile.5.gz; do
  expect_in "$work/files" "$file"
done
# The installed tools find their libraries through their run path alone.
if command -v ldd >/dev/null; then
  ldd /usr/bin/kovactl >"$work/ldd"
  ! grep -q "not found" "$work/ldd" || { cat "$work/ldd" >&2; fail "kovactl misses a library"; }
  expect_in "$work/ldd" "/$(basename "$libdir")/libkovaplatform.so"
fi

# A user of the machine: the registration comes from the machine hive, the Kova
# from the user's own hive.
unset KOVA_REGISTRY_DIR KOVA_MESSAGEBOX_LOG
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config KOVA_USERDIR=$work/user
export TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR" "$work/kovas/work"
/usr/bin/kovareg query "HKLM\\Software\\Classes\\CLSID\\$kClsid\\InprocServer32" /ve \
  >"$work/inproc" || fail "the component is not registered in $kHive"
expect_in "$work/inproc" "${component//\//\\}"
if grep -q '/libKovaCredentialsPrompt\.so$' "$work/files"; then
  /usr/bin/kovareg query 'HKCR\KovaBrowser.UserPasswordPromptDialog' >/dev/null ||
    fail "the credentials prompt is not registered"
fi
run /usr/bin/kovareg add 'HKCU\Software\Corvanta\Vintrel\Kovas\Work' /v Path1 /d "$work/kovas/work"
printf '[Display]\r\nColor=blue\r\nSize=12\r\n' >"$work/kovas/work/a.ini"

echo "building the example client against the installed files"
cp -r "$source_dir/examples/profile_client" "$work/src"
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
run cmake -S "$work/src" -B "$work/cmake-build" "${generator[@]}"
run cmake --build "$work/cmake-build"
grep -q "^KovaIntr_DIR:PATH=/usr/" "$work/cmake-build/CMakeCache.txt" ||
  fail "find_package did not find the installed KovaIntr"
flags=$(pkg-config --cflags --libs kovaintr) || fail "pkg-config does not know kovaintr"
run c++ "$work/src/profile_client.cc" $flags -o "$work/pc-client"
# Each installed header stands on its own.
for header in /usr/include/kovaintr/*.h; do
  echo "#include \"$(basename "$header")\"" |
    c++ -std=c++17 -fsyntax-only -x c++ - $(pkg-config --cflags kovaintr) 2>"$work/header.log" ||
    { cat "$work/header.log" >&2; fail "$header does not compile alone"; }
done

echo "running the clients"
"$work/cmake-build/profile_client" '<Work>\a.ini' Display Color green >"$work/out1" ||
  { cat "$work/out1" >&2; fail "the CMake-built client failed"; }
expect_in "$work/out1" 'KovaGetProfileString [Display] Color: S_OK "blue"'
expect_in "$work/out1" 'KovaFlushFile: S_OK'
"$work/pc-client" '<Work>\a.ini' Display Color red >"$work/out2" ||
  { cat "$work/out2" >&2; fail "the pkg-config-built client failed"; }
expect_in "$work/out2" 'KovaGetProfileString [Display] Color: S_OK "green"'
[ "$(cat "$work/kovas/work/a.ini")" = "$(printf '[Display]\r\nColor=red\r\nSize=12\r\n')" ] ||
  fail "a.ini holds: $(cat -A "$work/kovas/work/a.ini")"
/usr/bin/kovactl '$h = KovaInitialize' 'KovaLoadFile $h "<Work>\a.ini"' \
  'KovaGetProfileString $h "Display" "Size" "" out 260' 'KovaUnInitialize $h' >"$work/out3" ||
  { cat "$work/out3" >&2; fail "kovactl failed"; }
expect_in "$work/out3" 'KovaGetProfileString: hr=0x00000000 $h=1 #5="12"'

echo "removing the package"
run dpkg -r "$kPackage"
if [ -e "$kHive" ]; then
  for trace in "$kClsid" "$kAppId" "$kLibId" KovaIntr.KovaIntrApi KovaIntr.DLL \
               KovaBrowser.UserPasswordPromptDialog; do
    ! grep -qiF -- "$trace" "$kHive" || fail "$kHive still holds $trace after removal"
  done
fi
[ ! -e "$component" ] || fail "$component is still there after removal"
grep -qF "$work/kovas/work" "$XDG_CONFIG_HOME/corvanta/user.reg" ||
  fail "the removal changed the user's hive"

run dpkg --purge "$kPackage"
[ "$(package_state)" = not-installed ] || [ -z "$(package_state)" ] ||
  fail "$kPackage is still known to dpkg: $(package_state)"
if [ "$had_etc" -eq 0 ] && [ -e "$kHive" ]; then
  cat "$kHive" >&2
  fail "the purge left $kHive behind"
fi
echo "PASS"
