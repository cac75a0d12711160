#!/usr/bin/env bash
# End to end on a real tray host: the demo figures are readable in both bar styles, and a
# click opens the panel below the bar, inside the screen; a second click closes it.
#   tests/desktop/tray-host-check.sh [HOST [THEME...]]   (as root; default: xfce light dark)
# Uses the shared tray-host tool (TRAY_HOST, default ../shared/desktops/tray-host), which
# runs the desktop headless in a network namespace that only has loopback.
set -uo pipefail
cd "$(dirname "$0")/../.."
host=${1:-xfce}
shift || true
themes=("$@")
[ ${#themes[@]} -gt 0 ] || themes=(light dark)
th=${TRAY_HOST:-$(pwd)/../shared/desktops/tray-host}
app=$(pwd)/build/src/app/corvane
img=$(dirname "$th")/lib/trayimg.py
out=${DESKTOP_CHECK_OUT:-$(mktemp -d /tmp/corvane-desktop.XXXXXX)}
mkdir -p "$out" && chmod 755 "$out"
[ -x "$th" ] || { echo "tray-host not found at $th"; exit 1; }
[ -x "$app" ] || { echo "build the app first ($app)"; exit 1; }
"$th" install "$host" > "$out/install.log" 2>&1 || { tail -5 "$out/install.log"; exit 1; }

passed=0 failed=0
check() { # NAME COMMAND...: one counted check
    local name=$1
    shift
    if "$@" >> "$out/$run.log" 2>&1; then
        passed=$((passed + 1)); echo "ok      $run: $name"
    else
        failed=$((failed + 1)); echo "FAILED  $run: $name (log: $out/$run.log)"
    fi
}

# The panel between two screenshots: a changed area of at least 150x150 px below the bar,
# inside the screen, beginning right under the bar, and nothing new in the bar left of the item.
panel_below_bar() {
    local before=$1 after=$2 bar=$3 item_x=$4 x y w h
    read -r x y w h < <(/usr/bin/python3 "$img" changed "$before" "$after" 0 "$bar" 1280 $((800 - bar))) || return 1
    echo "panel at $x $y ${w}x$h (bar $bar px, item at x $item_x)"
    [ "$w" -ge 150 ] && [ "$h" -ge 150 ] && [ "$x" -ge 0 ] && [ $((x + w)) -le 1280 ] &&
        [ $((y + h)) -le 800 ] && [ "$y" -le $((bar + 16)) ] || return 1
    ! /usr/bin/python3 "$img" changed "$before" "$after" 0 0 $((item_x - 40)) "$bar" > /dev/null
}

# Closed: nothing of panel size changed below the bar (the host's tooltip may show).
panel_closed() {
    local x y w h
    read -r x y w h < <(/usr/bin/python3 "$img" changed "$1" "$2" 0 "$3" 1280 $((800 - $3))) || return 0
    echo "changed below the bar: $x $y ${w}x$h"
    [ "$w" -lt 150 ] || [ "$h" -lt 150 ]
}

for theme in "${themes[@]}"; do
    run=$host-$theme
    : > "$out/$run.log"
    if ! "$th" up "$host" --theme "$theme" >> "$out/$run.log" 2>&1; then
        failed=$((failed + 1)); echo "FAILED  $run: the host did not start"; continue
    fi
    bar=$("$th" env "$host" | sed -n 's/^# tray area (x y w h): [0-9]* [0-9]* [0-9]* //p')
    "$th" run "$host" -- env CORVANE_DEMO=1 "$app" >> "$out/$run.log" 2>&1
    check "the item registers and shows" "$th" wait-item "$host"
    check "stacked figures read 512 and 24.6" \
        "$th" read "$host" --expect 512 --expect 24.6 --save "$out/$run-stacked"
    item_x=$(sed -n 's/^area: \([0-9]*\) .*/\1/p' "$out/$run.log" | tail -n 1)

    "$th" shot "$host" "$out/$run-before.png" >> "$out/$run.log" 2>&1
    "$th" click "$host" >> "$out/$run.log" 2>&1
    sleep 2
    "$th" shot "$host" "$out/$run-open.png" >> "$out/$run.log" 2>&1
    check "a click opens the panel below the bar" \
        panel_below_bar "$out/$run-before.png" "$out/$run-open.png" "$bar" "${item_x:-1240}"
    "$th" click "$host" >> "$out/$run.log" 2>&1
    sleep 2
    "$th" shot "$host" "$out/$run-closed.png" >> "$out/$run.log" 2>&1
    check "a second click closes it" panel_closed "$out/$run-before.png" "$out/$run-closed.png" "$bar"

    # Wide, chosen from the item's own menu as a user would.
    svc=$("$th" items "$host" | sed -n 's/^item 1: \([^ ]*\) .*/\1/p')
    "$th" exec "$host" -- gdbus call --session --dest "$svc" --object-path /MenuBar \
        --method com.canonical.dbusmenu.Event 4 clicked '<"">' 0 >> "$out/$run.log" 2>&1
    sleep 2
    check "wide figures read 512 and 24.6" \
        "$th" read "$host" --expect 512 --expect 24.6 --save "$out/$run-wide"
    "$th" down "$host" >> "$out/$run.log" 2>&1
done
echo "pictures and logs: $out"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
