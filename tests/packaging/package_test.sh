#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package.sh from the build tree,
# unpacked with dpkg -x into a temporary root, its programs run from there (the version,
# a full analysis of the bundled sample, which must print what the build tree's program
# prints), its menu entry, metadata and file type validated, and lintian without errors.
#   tests/packaging/package_test.sh BUILD-DIR VERSION
# Exit 77 (skipped) where there is no dpkg.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
version=$2

for tool in dpkg dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing, so the Debian package is neither built nor tested here"
    exit 77
  fi
done
for tool in cpack lintian desktop-file-validate appstreamcli update-mime-database; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

deb=$("$here/scripts/package.sh" "$build" "$tmp/out")
[ -f "$deb" ] || fail "no package made"
echo "package: $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = obrotk ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6charts6 libqt6svg6 libc6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib (from dpkg-shlibdeps): $depends"
done

root=$tmp/root
dpkg -x "$deb" "$root"
id=org.obrotk.Obrotk
for f in usr/bin/obrotk usr/bin/obrotk-cli \
         usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/mime/packages/$id.xml \
         usr/share/doc/obrotk/copyright usr/share/doc/obrotk/changelog.Debian.gz \
         usr/share/doc/obrotk/examples/sample.fdt usr/share/man/man1/obrotk.1.gz; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done
file "$root/usr/bin/obrotk-cli" | grep -q "not stripped" && fail "obrotk-cli is not stripped"

# The programs from the temporary root (no display needed for either).
out=$(env -u DISPLAY "$root/usr/bin/obrotk-cli" --version)
[ "$out" = "obrotk-cli $version" ] || fail "obrotk-cli --version printed «$out»"
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/obrotk" --version)
[ "$out" = "obrotk $version" ] || fail "obrotk --version printed «$out»"

sample=$root/usr/share/doc/obrotk/examples/sample.fdt
args=(--methods spiral,newton,smirnov,nonparam --locale C)
"$root/usr/bin/obrotk-cli" "$sample" "${args[@]}" --charts "$tmp/charts" --chart-format svg \
  --json "$tmp/installed.json" >"$tmp/installed.txt" || fail "the installed obrotk-cli failed on the sample"
"$build/cli/obrotk-cli" "$sample" "${args[@]}" >"$tmp/built.txt"
grep -q "Пирсона/Ньютона" "$tmp/installed.txt" || fail "no results table"
cmp -s "$tmp/installed.txt" "$tmp/built.txt" || {
  diff "$tmp/built.txt" "$tmp/installed.txt" | head -20
  fail "the installed program prints another table than the build tree's"
}
[ "$(ls "$tmp/charts"/*.svg | wc -l)" -eq 5 ] || fail "not every chart written as SVG"
echo "installed obrotk-cli: full analysis of the sample matches the build tree"

# The desktop files as the desktop reads them.
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --strict "$root/usr/share/metainfo/$id.metainfo.xml" \
  || fail "appstreamcli validate"
mkdir -p "$tmp/mime"
cp -r "$root/usr/share/mime/packages" "$tmp/mime/"
# (it notes that the directory is not one the desktop searches: true, and beside the point)
update-mime-database "$tmp/mime" >"$tmp/mime.log" 2>&1 || { cat "$tmp/mime.log"; fail "update-mime-database"; }
grep -q "application/x-obrotk-fdt:\*\.fdt" "$tmp/mime/globs" || fail "*.fdt is not mapped to the file type"
grep -q "^MimeType=application/x-obrotk-fdt;" "$root/usr/share/applications/$id.desktop" \
  || fail "the menu entry does not open the file type"

lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"
echo "PASS: package built, unpacked, run and validated"
