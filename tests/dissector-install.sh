#!/bin/sh
# The package's install rules put the Wireshark dissector where tshark looks
# for global Lua plugins, and the installed copy decodes a frame.
#   dissector-install.sh BUILD_DIR TMP_DIR
set -eu
build=$1
dest=$(mktemp -d "$2/install-XXXXXX")
trap 'rm -rf "$dest"' EXIT
if ! command -v tshark >/dev/null; then
  echo "tshark is not installed (scripts/install-deps installs it)"; exit 1
fi
global=$(HOME="$dest" tshark -G folders 2>/dev/null | sed -n 's/^Global Lua Plugins:[[:space:]]*//p')
case "$global" in
  /usr/*) ;;
  *) echo "unexpected global Lua plugin folder: '$global'"; exit 1 ;;
esac
cmake --install "$build" --prefix "$dest/usr" >/dev/null
installed="$dest$global/pravik.lua"
if [ ! -f "$installed" ]; then
  echo "not installed in $global:"; (cd "$dest" && find . -name '*.lua'); exit 1
fi
cmp "$installed" "$build/wireshark/pravik.lua"
echo "pravik.lua installed in $global"
