#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (build/debug by default) and checks
# it: the program's folder, the link in /usr/bin, the menu entry, the icon and the autostart
# entry are where an installation needs them; the dependencies are declared; the packaged
# program runs; and apt can resolve the package's dependencies on this system.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/debug}"
cmake --build "$build" --target diffuseur-secours
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

contents="$(dpkg-deb --contents "$deb")"
check contents "$contents" \
  '^-rwxr-xr-x root/root .* \./opt/kestrel-diffuseur-secours/diffuseur-secours$' \
  '^drwxr-xr-x root/root .* \./opt/kestrel-diffuseur-secours/Settings/$' \
  '\./usr/bin/diffuseur-secours -> \.\./\.\./opt/kestrel-diffuseur-secours/diffuseur-secours$' \
  '\./usr/share/applications/kestrel-diffuseur-secours\.desktop$' \
  '\./usr/share/icons/hicolor/scalable/apps/kestrel-diffuseur-secours\.svg$' \
  '\./usr/share/kestrel-diffuseur-secours/kestrel-diffuseur-secours\.desktop$'

info="$(dpkg -I "$deb")"
check info "$info" '^ Package: kestrel-diffuseur-secours$' '^ Architecture: amd64$' \
  '^ Depends: .*qt6-qpa-plugins' '^ Depends: .*libqt6widgets6' '^ Depends: .*libqt6gui6' \
  '^ Depends: .*libsqlite3-0' '^ Depends: .*libstdc\+\+6' '^ Recommends: .*xdg-utils'

# The packaged files themselves: the entries name the program and the icon, the program runs.
tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
for entry in usr/share/applications/kestrel-diffuseur-secours.desktop \
  usr/share/kestrel-diffuseur-secours/kestrel-diffuseur-secours.desktop; do
  check "$entry" "$(cat "$tree/$entry")" '^Exec=diffuseur-secours$' \
    '^Icon=kestrel-diffuseur-secours$' '^Type=Application$'
done
check "the icon" "$(cat "$tree/usr/share/icons/hicolor/scalable/apps/kestrel-diffuseur-secours.svg")" '<svg '
status=0
"$tree/usr/bin/diffuseur-secours" --root "$out/root" --status >"$out/status.txt" || status=$?
check "--status of the packaged program (exit $status)" "$(cat "$out/status.txt")" \
  'Dernier chargement réussi : aucun'
[ "$status" -eq 2 ] || { echo "--status of a folder never loaded gave $status, not 2"; fail=1; }

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
