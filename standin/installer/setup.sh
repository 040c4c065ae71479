#!/bin/sh
# The stand-in's "installer": it installs nothing and only shows that it
# ran, so the whole update path can be tried without changing anything.
marker="${XDG_CACHE_HOME:-$HOME/.cache}/Quobex/installer-ran.txt"
mkdir -p "$(dirname "$marker")"
date -u '+%Y-%m-%dT%H:%M:%SZ the stand-in installer ran' >> "$marker"
echo "Quobex stand-in installer ran; marker written to $marker"
if command -v xmessage >/dev/null 2>&1 && [ -n "${DISPLAY:-}" ]; then
  xmessage -timeout 10 "Quobex stand-in installer ran." >/dev/null 2>&1 &
fi
exit 0
