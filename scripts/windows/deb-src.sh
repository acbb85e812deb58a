#!/usr/bin/env bash
# Adds source entries (deb-src) for the archives and suites of the existing Debian entries,
# so that apt-get source finds the source of the packages installed from them.
set -euo pipefail
out=/etc/apt/sources.list.d/corvanta-deb-src.sources
: > "$out.new"
for f in /etc/apt/sources.list.d/*.sources; do
    [ "$f" = "$out" ] && continue
    # deb822 stanzas: copy those of type deb, as deb-src.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:[^\n]*deb([ \n]|$)/ && /debian/ {
             sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >> "$out.new"
done
if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb[[:space:]]' /etc/apt/sources.list | grep debian | sed 's/^deb[[:space:]]/deb-src /' \
        > /etc/apt/sources.list.d/corvanta-deb-src.list || true
fi
mv "$out.new" "$out"
[ -s "$out" ] || rm -f "$out"
