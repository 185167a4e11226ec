#!/usr/bin/env bash
# Builds the Debian packages from a configured build folder (build/debug by default) and checks
# them: the program's package kestrel-diffuseur-secours, and the record engine's C entry in
# libksbtr1 (the shared library) and libksbtr-dev (header, link, pkg-config file). The files an
# installation needs are where it needs them; the dependencies are declared; lintian finds no
# error but the deliberate /opt layout and no warning; the binaries are hardened as the build
# folder's type allows; the library exports BTRCALL alone under its soname; the packaged
# programs run, and a run as root writes nothing into the installed folder; a C program builds
# against the packaged library through its pkg-config file; dpkg installs, removes and purges
# the packages in a scratch root (nothing on this machine changes); apt can resolve their
# dependencies here.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/debug}"
command -v lintian >/dev/null || { echo "lintian is missing (bash tools/install-deps.sh)"; exit 1; }
cmake --build "$build" --target diffuseur-secours ks-table ksbtr
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -B "$out" >/dev/null)
deb="$(ls "$out"/kestrel-diffuseur-secours_*_amd64.deb)"
libdeb="$(ls "$out"/libksbtr1_*_amd64.deb)"
devdeb="$(ls "$out"/libksbtr-dev_*_amd64.deb)"
echo "built $deb $libdeb $devdeb"

fail=0
check() {  # check WHAT TEXT PATTERN...
  local what=$1 text=$2
  shift 2
  for pattern in "$@"; do
    if ! grep -qE -- "$pattern" <<<"$text"; then
      echo "MISSING in $what: $pattern"
      fail=1
    fi
  done
}
refuse() {  # refuse WHAT TEXT PATTERN: no line of TEXT may match PATTERN
  local found
  found="$(grep -E -- "$3" <<<"$2" || true)"
  if [ -n "$found" ]; then
    printf 'UNEXPECTED in %s:\n%s\n' "$1" "$found"
    fail=1
  fi
}

program=opt/kestrel-diffuseur-secours
contents="$(dpkg-deb --contents "$deb")"
check contents "$contents" \
  "^-rwxr-xr-x root/root .* \./$program/diffuseur-secours\$" \
  "^-rw-r--r-- root/root .* \./$program/INSTALLED\$" \
  "^drwxr-xr-x root/root .* \./$program/Settings/\$" \
  "\./usr/bin/diffuseur-secours -> /$program/diffuseur-secours\$" \
  '^-rwxr-xr-x root/root .* \./usr/bin/ks-table$' \
  '\./usr/share/applications/kestrel-diffuseur-secours\.desktop$' \
  '\./usr/share/icons/hicolor/scalable/apps/kestrel-diffuseur-secours\.svg$' \
  '\./usr/share/kestrel-diffuseur-secours/kestrel-diffuseur-secours\.desktop$' \
  '\./usr/share/doc/kestrel-diffuseur-secours/copyright$' \
  '\./usr/share/doc/kestrel-diffuseur-secours/changelog\.Debian\.gz$' \
  '\./usr/share/man/man1/diffuseur-secours\.1\.gz$' '\./usr/share/man/man1/ks-table\.1\.gz$' \
  '\./usr/share/lintian/overrides/kestrel-diffuseur-secours$'
refuse contents "$contents" 'ksbtr|/usr/include/|/usr/lib/'

libdir=usr/lib/x86_64-linux-gnu
check "libksbtr1's contents" "$(dpkg-deb --contents "$libdeb")" \
  "^-rw-r--r-- root/root .* \./$libdir/libksbtr\.so\.1\.0\.0\$" \
  "\./$libdir/libksbtr\.so\.1 -> libksbtr\.so\.1\.0\.0\$" \
  '\./usr/share/doc/libksbtr1/copyright$' '\./usr/share/doc/libksbtr1/changelog\.Debian\.gz$'
refuse "libksbtr1's contents" "$(dpkg-deb --contents "$libdeb")" 'libksbtr\.so -|include|pkgconfig'
check "libksbtr-dev's contents" "$(dpkg-deb --contents "$devdeb")" \
  '^-rw-r--r-- root/root .* \./usr/include/ks/btrcall\.h$' \
  "\./$libdir/libksbtr\.so -> libksbtr\.so\.1\$" \
  "^-rw-r--r-- root/root .* \./$libdir/pkgconfig/ksbtr\.pc\$" \
  '\./usr/share/doc/libksbtr-dev/copyright$' '\./usr/share/doc/libksbtr-dev/changelog\.Debian\.gz$'

info="$(dpkg -I "$deb")"
check info "$info" '^ Package: kestrel-diffuseur-secours$' '^ Architecture: amd64$' \
  '^ Version: [0-9.]+\+[0-9]{8}\.[0-9]{4}(\.g[0-9a-f]+)?-1$' '^ Depends: .*qt6-qpa-plugins' '^ Depends: .*qt6-translations-l10n' \
  '^ Depends: .*libqt6widgets6' '^ Depends: .*libqt6gui6' '^ Depends: .*libsqlite3-0' \
  '^ Depends: .*libstdc\+\+6' '^ Recommends: .*xdg-utils' '^ +[0-9]+ bytes, +[0-9]+ lines +\* +postrm'

# The library's package: its shlibs file and the ldconfig trigger, no maintainer script; its
# dependencies, written in packaging/CMakeLists.txt, are those dpkg-shlibdeps finds.
version="$(dpkg-deb -f "$deb" Version)"
quoted="$(sed 's/[.+]/\\&/g' <<<"$version")"
info="$(dpkg -I "$libdeb")"
check "libksbtr1's control" "$info" '^ Package: libksbtr1$' '^ Section: libs$' \
  "^ Version: $quoted\$" '^ +[0-9]+ bytes, +[0-9]+ lines +shlibs' '^ +[0-9]+ bytes, +[0-9]+ lines +triggers'
refuse "libksbtr1's control" "$info" 'postinst|postrm|preinst|prerm'
check "libksbtr1's shlibs" "$(dpkg-deb --ctrl-tarfile "$libdeb" | tar -xO ./shlibs)" \
  "^libksbtr 1 libksbtr1 \(>= $quoted\)\$"
check "libksbtr1's triggers" "$(dpkg-deb --ctrl-tarfile "$libdeb" | tar -xO ./triggers)" \
  '^activate-noawait ldconfig$'
mkdir -p "$out/shlibdeps/debian" "$out/lib"
printf 'Source: kestrel-diffuseur-secours\n\nPackage: libksbtr1\nArchitecture: any\n' \
  >"$out/shlibdeps/debian/control"
dpkg-deb -x "$libdeb" "$out/lib"
needed="$(cd "$out/shlibdeps" && dpkg-shlibdeps -O "$out/lib/$libdir/libksbtr.so.1.0.0" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')"
[ -n "$needed" ] || { echo "dpkg-shlibdeps found nothing for libksbtr.so.1.0.0"; fail=1; }
[ "$(dpkg-deb -f "$libdeb" Depends)" = "$needed" ] ||
  { echo "libksbtr1 depends on '$(dpkg-deb -f "$libdeb" Depends)', dpkg-shlibdeps finds '$needed'"; fail=1; }
check "libksbtr-dev's control" "$(dpkg -I "$devdeb")" '^ Package: libksbtr-dev$' '^ Section: libdevel$' \
  "^ Version: $quoted\$" "^ Depends: libksbtr1 \(= $quoted\)\$"

# The library exports BTRCALL alone, under its soname.
symbols="$(nm -D --defined-only "$out/lib/$libdir/libksbtr.so.1.0.0")"
check "the library's symbols" "$symbols" ' T BTRCALL$'
refuse "the library's symbols" "$(grep -v ' BTRCALL$' <<<"$symbols")" .
check "the library's dynamic section" "$(readelf -d "$out/lib/$libdir/libksbtr.so.1.0.0")" \
  'SONAME.*\[libksbtr\.so\.1\]'

# lintian: what is deliberate is in the package's overrides (packaging/lintian-overrides);
# the fortified calls need an optimised build, and the binaries of a sanitizer build are not
# hardened at all (cmake/KsHardening.cmake).
build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
sanitized="$(sed -n 's/^KS_SANITIZE:BOOL=//p' "$build/CMakeCache.txt")"
allowed='none'
if [ "$sanitized" = ON ]; then
  allowed='hardening-[a-z-]+'
elif [ "$build_type" = Debug ] || [ -z "$build_type" ]; then
  allowed='hardening-no-fortify-functions'
fi
for package in "$deb" "$libdeb" "$devdeb"; do
  lint=0
  tags="$(lintian --display-info --tag-display-limit 0 "$package" 2>"$out/lintian.txt")" || lint=$?
  [ "$lint" -le 1 ] || { cat "$out/lintian.txt"; echo "lintian failed to run ($lint)"; fail=1; }
  refuse "lintian of ${package##*/} ($build_type build; allowed: $allowed)" \
    "$(grep -vE ": ($allowed) " <<<"$tags")" '^(E|W): |^I: .*: hardening-'
done

# The packaged files themselves.
tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
for entry in usr/share/applications/kestrel-diffuseur-secours.desktop \
  usr/share/kestrel-diffuseur-secours/kestrel-diffuseur-secours.desktop; do
  check "$entry" "$(cat "$tree/$entry")" '^TryExec=diffuseur-secours$' \
    '^Exec=diffuseur-secours$' '^Icon=kestrel-diffuseur-secours$' '^Type=Application$'
done
check "the icon" "$(cat "$tree/usr/share/icons/hicolor/scalable/apps/kestrel-diffuseur-secours.svg")" '<svg '
# The library's two packages, laid in one tree as they are installed together.
dpkg-deb -x "$devdeb" "$out/lib"
for doc in "$tree/usr/share/doc/kestrel-diffuseur-secours" "$out/lib/usr/share/doc/libksbtr1" \
  "$out/lib/usr/share/doc/libksbtr-dev"; do
  check "${doc##*/}'s copyright" "$(cat "$doc/copyright")" \
    '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' '^License: Expat$'
  check "${doc##*/}'s changelog's first line" "$(zcat "$doc/changelog.Debian.gz" | head -1)" \
    "^kestrel-diffuseur-secours \\($quoted\\) "
done

status=0
"$tree/$program/diffuseur-secours" --root "$out/root" --status >"$out/status.txt" || status=$?
check "--status of the packaged program (exit $status)" "$(cat "$out/status.txt")" \
  'Dernier chargement réussi : aucun'
[ "$status" -eq 2 ] || { echo "--status of a folder never loaded gave $status, not 2"; fail=1; }
status=0
"$tree/usr/bin/ks-table" --help >"$out/help.txt" || status=$?
check "ks-table --help (exit $status)" "$(cat "$out/help.txt")" '^usage: ks-table create FILE' \
  'ks-table create FILE --catalogue N'
[ "$status" -eq 0 ] || { echo "ks-table --help gave $status, not 0"; fail=1; }

# A run without --root, as whoever runs this (root in CI), keeps everything in that user's
# data folder: the installed folder stays as the package made it.
before="$(find "$tree/$program" | sort)"
status=0
env -u XDG_DATA_HOME HOME="$out/home" "$tree/$program/diffuseur-secours" --load-once \
  >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] || { echo "--load-once without settings gave $status, not 1"; fail=1; }
refuse "the installed folder after a run" "$(comm -13 <(echo "$before") <(find "$tree/$program" | sort))" .
[ -e "$out/home/.local/share/kestrel-diffuseur-secours/KS3_Diffuseur_Secours.lock" ] ||
  { echo "the run did not use ~/.local/share/kestrel-diffuseur-secours/"; fail=1; }

# Hardening as the loader sees it: RELRO bound at start (lintian's hardening-no-bindnow).
if [ "$sanitized" != ON ]; then
  for binary in "$tree/$program/diffuseur-secours" "$tree/usr/bin/ks-table" \
    "$out/lib/$libdir/libksbtr.so.1.0.0"; do
    check "${binary##*/}'s program headers" "$(readelf -lW "$binary")" 'GNU_RELRO'
    check "${binary##*/}'s dynamic section" "$(readelf -dW "$binary")" 'FLAGS.*BIND_NOW|FLAGS_1.*NOW'
  done
fi

# A C program builds against the packaged library through its pkg-config file, where the
# packages were unpacked, and its calls reach the engine (a folder without tables: status 12).
read -ra flags <<<"$(PKG_CONFIG_PATH="$out/lib/$libdir/pkgconfig" pkg-config --cflags --libs ksbtr)"
if cc -std=c11 -Wall -Wextra -Wpedantic -Werror examples/read_schedule.c "${flags[@]}" \
  -o "$out/read_schedule" 2>"$out/cc.txt"; then
  status=0
  LD_LIBRARY_PATH="$out/lib/$libdir" "$out/read_schedule" "$out/nowhere" 2>"$out/read.txt" ||
    status=$?
  check "read_schedule on a folder without tables (exit $status)" "$(cat "$out/read.txt")" \
    'status 12$'
else
  cat "$out/cc.txt"
  echo "examples/read_schedule.c does not build against the packaged library (${flags[*]})"
  fail=1
fi

# dpkg installs, removes and purges in a scratch root (the dependencies are not there). The
# postrm runs outside a chroot and works under $DPKG_ROOT; a file of the site's defaults,
# which dpkg does not know, must go with the purge, and the removal must leave the package in
# dpkg's records so that `apt-get purge` finds it. The library's packages have no maintainer
# script and no configuration file: removed, nothing of them is left.
root="$out/dpkg-root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
in_root() { dpkg --root="$root" --log=/dev/null --force-script-chrootless --force-depends "$@"; }
state() { dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' "$1" 2>&1 || true; }
packages=(kestrel-diffuseur-secours libksbtr1 libksbtr-dev)
in_root -i "$deb" "$libdeb" "$devdeb" >"$out/dpkg.txt" 2>&1 || { cat "$out/dpkg.txt"; fail=1; }
for package in "${packages[@]}"; do
  check "the state of $package after dpkg -i" "$(state "$package")" '^install ok installed$'
done
echo "[Systeme]" >"$root/$program/Settings/KS3_Config.ini"
in_root -r "${packages[@]}" >"$out/dpkg.txt" 2>&1 || { cat "$out/dpkg.txt"; fail=1; }
check "the state after dpkg -r" "$(state kestrel-diffuseur-secours)" '^deinstall ok config-files$'
left="$(cd "$root" && find . -path ./var -prune -o \( -type f -o -type l \) -print)"
refuse "the root after dpkg -r" "$(grep -vx "\./$program/Settings/KS3_Config\.ini" <<<"$left")" .
in_root -P "${packages[@]}" >"$out/dpkg.txt" 2>&1 || { cat "$out/dpkg.txt"; fail=1; }
for package in "${packages[@]}"; do
  check "the state of $package after dpkg -P" "$(state "$package")" 'no packages found'
done
refuse "the root after dpkg -P" "$(cd "$root" && find . -mindepth 1 -path ./var -prune -o -print)" .

# apt resolves the dependencies as `apt install ./file.deb` would (nothing is installed).
if command -v apt-get >/dev/null && apt-cache policy libqt6widgets6 | grep -q 'Candidate: [0-9]'; then
  simulated="$(apt-get install --simulate "$deb" "$libdeb" "$devdeb" 2>&1)" || true
  check "apt-get install --simulate" "$simulated" '^Inst kestrel-diffuseur-secours ' \
    '^Inst libksbtr1 ' '^Inst libksbtr-dev '
fi

if [ "$fail" -ne 0 ]; then
  echo "package check FAILED"
  exit 1
fi
echo "package check passed"
