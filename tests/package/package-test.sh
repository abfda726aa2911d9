#!/usr/bin/env bash
# The Debian package: built by CPack from the build folder, its file list, its programs and
# plug-ins unpacked (dpkg-deb -x) and run there, its desktop entry, and lintian without errors.
#
# package-test.sh BUILD-FOLDER
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/tarn51_2.0.3_amd64.deb
[ -f "$deb" ] || { ls "$work/out"; fail "no tarn51_2.0.3_amd64.deb"; }

dpkg-deb --info "$deb"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' > "$work/files"
for file in /usr/bin/tarn51-measure /usr/bin/Tarn51Standalone /usr/share/man/man1/tarn51-measure.1.gz \
    /usr/share/applications/tarn51.desktop /usr/share/icons/hicolor/48x48/apps/tarn51.png \
    /usr/share/doc/tarn51/copyright /usr/lib/vst/Tarn5.1.so \
    /usr/lib/vst3/Tarn5.1.vst3/Contents/x86_64-linux/Tarn5.1.so /usr/lib/lv2/Tarn5.1.lv2/libTarn5.1.so \
    /usr/lib/lv2/Tarn5.1.lv2/manifest.ttl; do
    grep -qx "$file" "$work/files" || fail "$file is not in the package"
done
control=$(dpkg-deb --field "$deb" Package Version Architecture Depends)
grep -qx 'Version: 2.0.3' <<< "$control" || fail "version: $control"
grep -q '^Depends: .*libc6' <<< "$control" || fail "no dependencies derived from the binaries: $control"

root=$work/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/tarn51-measure" --reference | tee "$work/reference"
grep -q '^Program Loudness: -23.0  LUFS' "$work/reference" || fail "the unpacked meter does not measure the reference"
LV2_PATH="$root/usr/lib/lv2" lv2info https://velnor.org/plugins/tarn51 > "$work/lv2info" ||
    fail "lv2info does not find the unpacked bundle"
grep -q "$root/usr/lib/lv2/Tarn5.1.lv2" "$work/lv2info" || fail "lv2info found another bundle"
desktop-file-validate "$root/usr/share/applications/tarn51.desktop" || fail "desktop entry"
zcat "$root/usr/share/man/man1/tarn51-measure.1.gz" | grep -q 'standard.* ebu|atsc|arib' || fail "the man page lacks the options"

# Errors fail; the warnings are listed in the README.
lintian --no-tag-display-limit "$deb" > "$work/lintian" 2>&1 || true
cat "$work/lintian"
if grep -q '^E:' "$work/lintian"; then fail "lintian reports errors"; fi
echo "PASS: $(basename "$deb")"
