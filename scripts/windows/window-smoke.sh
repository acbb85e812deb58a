#!/usr/bin/env bash
# Starts corvanta.exe under Wine on a virtual display, waits for its window, takes a
# screenshot and closes it. Fails when no window shows within two minutes.
# Usage: window-smoke.sh CORVANTA_EXE SHOT_PNG
set -euo pipefail
exe=$(realpath "$1") shot=$(realpath -m "$2")
here="$(cd "$(dirname "$0")" && pwd)"
# A Wine prefix of its own: a Wine server started without a display (by the other tests)
# cannot open windows.
export WINEPREFIX="$here/../../build/windows/wine-display"
# The prefix is made first, and its server left to end, so that the window's start is quick
# and its server has the display.
"$here/wine-run.sh" wineboot --init > /dev/null 2>&1 || true
"$here/wine-run.sh" wineserver -w || true
inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<INNER
set -u
"$here/wine-run.sh" "$exe" &
pid=\$!
for i in \$(seq 1 120); do
    if xwininfo -root -tree 2>/dev/null | grep -q 'Corvanta version'; then
        sleep 3
        import -window root "$shot"
        echo "The window is up after \$i s: $shot"
        kill \$pid 2>/dev/null
        exit 0
    fi
    sleep 1
done
echo "No Corvanta window within 120 s" >&2
kill \$pid 2>/dev/null
exit 1
INNER
xvfb-run -a -s "-screen 0 1280x900x24" bash "$inner"
