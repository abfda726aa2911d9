#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the plug-in folders.
#   install-test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" > "$prefix/install.log"
cat "$prefix/install.log"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
for file in lib/vst/Tarn5.1.so \
    lib/vst3/Tarn5.1.vst3/Contents/x86_64-linux/Tarn5.1.so \
    lib/lv2/Tarn5.1.lv2/libTarn5.1.so lib/lv2/Tarn5.1.lv2/manifest.ttl lib/lv2/Tarn5.1.lv2/dsp.ttl \
    lib/lv2/Tarn5.1.lv2/ui.ttl; do
    [ -f "$prefix/$file" ] || fail "$file not installed"
done
# (grep reads all its input: an early exit would fail the pipeline on the writer's SIGPIPE.)
nm -D --defined-only "$prefix/lib/vst/Tarn5.1.so" | grep -w VSTPluginMain > /dev/null ||
    fail "no VSTPluginMain in the VST plug-in"
nm -D --defined-only "$prefix/lib/vst3/Tarn5.1.vst3/Contents/x86_64-linux/Tarn5.1.so" |
    grep -w GetPluginFactory > /dev/null || fail "no GetPluginFactory in the VST3 plug-in"
# An LV2 host finds the installed bundle.
LV2_PATH="$prefix/lib/lv2" lv2ls | grep -x "https://velnor.org/plugins/tarn51" > /dev/null ||
    fail "lv2ls does not list the plug-in"
echo "installed: VST 2.4, VST3 and LV2 under $prefix/lib"
