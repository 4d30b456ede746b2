#!/usr/bin/env bash
# Installs the build into a private prefix and checks what a lab machine
# gets: the programs, the example setup, desktop entry, icons and manual
# pages, and a qbxtool that finds its examples from wherever the tree is.
#   check_install.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$tmp/usr" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; exit 1; }

for f in bin/qbxsolo bin/qbxtool bin/qbxreplay share/applications/qbxsolo.desktop \
         share/icons/hicolor/scalable/apps/qbxsolo.svg share/icons/hicolor/48x48/apps/qbxsolo.png \
         share/man/man1/qbxsolo.1.gz share/man/man1/qbxtool.1.gz share/man/man1/qbxreplay.1.gz \
         share/doc/qbxsolo/copyright share/doc/qbxsolo/changelog.gz \
         share/qbxsolo/examples/setup/QBXParameter.ini share/qbxsolo/examples/setup/shoe.txt; do
    [[ -s "$tmp/usr/$f" ]] || fail "$f is not installed"
done
[[ -x "$tmp/usr/bin/qbxsolo" && -x "$tmp/usr/bin/qbxtool" && -x "$tmp/usr/bin/qbxreplay" ]] || fail "the programs are not executable"
identify -format '%wx%h' "$tmp/usr/share/icons/hicolor/48x48/apps/qbxsolo.png" 2>/dev/null | grep -qx 48x48 ||
    fail "the PNG icon is not 48 x 48"
for page in qbxsolo qbxtool qbxreplay; do
    zgrep -q "QBXSolo $version\"" "$tmp/usr/share/man/man1/$page.1.gz" || fail "$page.1 does not carry version $version"
done
"$tmp/usr/bin/qbxtool" --version | grep -q "^$version" || fail "qbxtool --version does not say $version"
"$tmp/usr/bin/qbxreplay" --version | grep -q "^qbxreplay $version" || fail "qbxreplay --version does not say $version"

# The installed tree moved elsewhere (another prefix, a copied /opt tree)
# still finds its own examples, not the source tree's.
mv "$tmp/usr" "$tmp/moved"
out=$("$tmp/moved/bin/qbxtool" init "$tmp/experiment" 2>&1) || fail "init failed: $out"
grep -qF "copied from $tmp/moved/share/qbxsolo/examples/setup" <<<"$out" ||
    fail "init did not use the installed examples: $out"
grep -qxF "Exec=\"$tmp/moved/bin/qbxsolo\"" "$tmp/experiment/qbxsolo.desktop" ||
    fail "the launcher does not start the installed qbxsolo"
cmp -s "$tmp/moved/share/qbxsolo/examples/setup/shoe.txt" "$tmp/experiment/setup/shoe.txt" ||
    fail "the setup is not a copy of the installed example"

((failures == 0)) && echo "installed tree: all checks passed"
((failures == 0))
