#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (build/debug by default) and checks
# it: the files an installation needs are where it needs them; the dependencies are declared;
# lintian finds no error but the deliberate /opt layout and no warning; the binaries are
# hardened as the build folder's type allows; the packaged programs run, and a run as root
# writes nothing into the installed folder; dpkg installs, removes and purges the package in
# a scratch root (nothing on this machine changes); apt can resolve its dependencies here.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/debug}"
command -v lintian >/dev/null || { echo "lintian is missing (bash tools/install-deps.sh)"; exit 1; }
cmake --build "$build" --target diffuseur-secours ks-table
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -B "$out" >/dev/null)
deb="$(ls "$out"/kestrel-diffuseur-secours_*_amd64.deb)"
echo "built $deb"

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

info="$(dpkg -I "$deb")"
check info "$info" '^ Package: kestrel-diffuseur-secours$' '^ Architecture: amd64$' \
  '^ Version: [0-9.]+\+[0-9]{8}\.[0-9]{4}(\.g[0-9a-f]+)?-1$' '^ Depends: .*qt6-qpa-plugins' '^ Depends: .*qt6-translations-l10n' \
  '^ Depends: .*libqt6widgets6' '^ Depends: .*libqt6gui6' '^ Depends: .*libsqlite3-0' \
  '^ Depends: .*libstdc\+\+6' '^ Recommends: .*xdg-utils' '^ +[0-9]+ bytes, +[0-9]+ lines +\* +postrm'

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
lint=0
tags="$(lintian --display-info --tag-display-limit 0 "$deb" 2>"$out/lintian.txt")" || lint=$?
[ "$lint" -le 1 ] || { cat "$out/lintian.txt"; echo "lintian failed to run ($lint)"; fail=1; }
refuse "lintian ($build_type build; allowed: $allowed)" "$(grep -vE ": ($allowed) " <<<"$tags")" \
  '^(E|W): |^I: .*: hardening-'

# The packaged files themselves.
tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
for entry in usr/share/applications/kestrel-diffuseur-secours.desktop \
  usr/share/kestrel-diffuseur-secours/kestrel-diffuseur-secours.desktop; do
  check "$entry" "$(cat "$tree/$entry")" '^TryExec=diffuseur-secours$' \
    '^Exec=diffuseur-secours$' '^Icon=kestrel-diffuseur-secours$' '^Type=Application$'
done
check "the icon" "$(cat "$tree/usr/share/icons/hicolor/scalable/apps/kestrel-diffuseur-secours.svg")" '<svg '
check "the copyright" "$(cat "$tree/usr/share/doc/kestrel-diffuseur-secours/copyright")" \
  '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' '^License: Expat$'

version="$(dpkg-deb -f "$deb" Version)"
check "the changelog's first line" \
  "$(zcat "$tree/usr/share/doc/kestrel-diffuseur-secours/changelog.Debian.gz" | head -1)" \
  "^kestrel-diffuseur-secours \\($(sed 's/[.+]/\\&/g' <<<"$version")\\) "

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
  for binary in "$program/diffuseur-secours" usr/bin/ks-table; do
    check "$binary's program headers" "$(readelf -lW "$tree/$binary")" 'GNU_RELRO'
    check "$binary's dynamic section" "$(readelf -dW "$tree/$binary")" 'FLAGS.*BIND_NOW|FLAGS_1.*NOW'
  done
fi

# dpkg installs, removes and purges in a scratch root (the dependencies are not there). The
# postrm runs outside a chroot and works under $DPKG_ROOT; a file of the site's defaults,
# which dpkg does not know, must go with the purge, and the removal must leave the package in
# dpkg's records so that `apt-get purge` finds it.
root="$out/dpkg-root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
in_root() { dpkg --root="$root" --log=/dev/null --force-script-chrootless --force-depends "$@"; }
state() { dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' kestrel-diffuseur-secours 2>&1 || true; }
in_root -i "$deb" >"$out/dpkg.txt" 2>&1 || { cat "$out/dpkg.txt"; fail=1; }
check "the state after dpkg -i" "$(state)" '^install ok installed$'
echo "[Systeme]" >"$root/$program/Settings/KS3_Config.ini"
in_root -r kestrel-diffuseur-secours >"$out/dpkg.txt" 2>&1 || { cat "$out/dpkg.txt"; fail=1; }
check "the state after dpkg -r" "$(state)" '^deinstall ok config-files$'
left="$(cd "$root" && find . -path ./var -prune -o -type f -print)"
refuse "the root after dpkg -r" "$(grep -vx "\./$program/Settings/KS3_Config\.ini" <<<"$left")" .
in_root -P kestrel-diffuseur-secours >"$out/dpkg.txt" 2>&1 || { cat "$out/dpkg.txt"; fail=1; }
check "the state after dpkg -P" "$(state)" 'no packages found'
refuse "the root after dpkg -P" "$(cd "$root" && find . -mindepth 1 -path ./var -prune -o -print)" .

# apt resolves the dependencies as `apt install ./file.deb` would (nothing is installed).
if command -v apt-get >/dev/null && apt-cache policy libqt6widgets6 | grep -q 'Candidate: [0-9]'; then
  simulated="$(apt-get install --simulate "$deb" 2>&1)" || true
  check "apt-get install --simulate" "$simulated" '^Inst kestrel-diffuseur-secours '
fi

if [ "$fail" -ne 0 ]; then
  echo "package check FAILED"
  exit 1
fi
echo "package check passed"
