#!/usr/bin/env bash
# End to end on a real tray host: the demo figures are readable in both bar styles, a click
# opens the panel beside the bar, inside the screen, and a second click closes it; after a
# restart of the host the item is back; the host logs no warning about the item.
#   tests/desktop/tray-host-check.sh [HOST [THEME...]]   (as root; default: xfce light dark)
# Uses the shared tray-host tool (TRAY_HOST, default ../shared/desktops/tray-host), which
# runs the desktop headless in a network namespace that only has loopback.
# DESKTOP_DOCS=DIR also writes the tray area of each run, 2x, as DIR/HOST-THEME-STYLE.png.
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
docs=${DESKTOP_DOCS:-}
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

# The screen between the bar and the far edge: "x y w h".
below_bar() { if [ "$bar_y" -gt 400 ]; then echo "0 0 1280 $bar_y"; else echo "0 $bar_h 1280 $((800 - bar_h))"; fi; }

# The panel between two screenshots: a changed area of at least 150x150 px beside the bar,
# inside the screen, starting within 16 px of the bar, and nothing new in the tray left of
# the item.
panel_beside_bar() {
    local x y w h
    read -r x y w h < <(/usr/bin/python3 "$img" changed "$1" "$2" $(below_bar)) || return 1
    echo "panel at $x $y ${w}x$h (bar at y $bar_y, $bar_h px; item at x $item_x)"
    [ "$w" -ge 150 ] && [ "$h" -ge 150 ] && [ "$x" -ge 0 ] && [ $((x + w)) -le 1280 ] &&
        [ "$y" -ge 0 ] && [ $((y + h)) -le 800 ] || return 1
    if [ "$bar_y" -gt 400 ]; then
        [ $((y + h)) -ge $((bar_y - 16)) ] || return 1
    else
        [ "$y" -le $((bar_h + 16)) ] || return 1
    fi
    ! /usr/bin/python3 "$img" changed "$1" "$2" "$bar_x" "$bar_y" $((item_x - 40 - bar_x)) "$bar_h" \
        > /dev/null
}

# Closed: nothing of panel size changed beside the bar (the host's tooltip may show).
panel_closed() {
    local x y w h
    read -r x y w h < <(/usr/bin/python3 "$img" changed "$1" "$2" $(below_bar)) || return 0
    echo "changed beside the bar: $x $y ${w}x$h"
    [ "$w" -lt 150 ] || [ "$h" -lt 150 ]
}

# Restarts the host while watching the watcher from inside the session: prints how long
# after the watcher came back our item was registered again (on an XEmbed tray, docked).
restart_and_time() {
    local poll='gone=0 w=
        while [ $SECONDS -lt 40 ]; do
            r=$(gdbus call --session --dest org.kde.StatusNotifierWatcher \
                --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
                org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2> /dev/null)
            t=$(date +%s%N)
            if [ -z "$r" ]; then gone=1
            elif [ $gone = 1 ]; then
                [ -n "$w" ] || w=$t
                case $r in *StatusNotifierItem*|*:1.*)
                    echo "item back $(((t - w) / 1000000)) ms after the watcher came back"; exit 0 ;;
                esac
            fi
            sleep 0.05
        done
        [ $gone = 1 ] || echo "the watcher stayed; the item stayed registered"'
    local watcher=
    if [ "$host" != trayer ]; then
        "$th" exec "$host" --timeout 50 -- bash -c "$poll" &
        watcher=$!
    fi
    "$th" restart-host "$host"
    [ -z "$watcher" ] || wait "$watcher"
    registered
}

# GNOME's extension lists an item registered by object path as "connection@path", which the
# tray-host tool does not read: there, registered means listed, and still listed 5 s later.
registered() {
    [[ $host != gnome* ]] && { "$th" wait-item "$host"; return; }
    local list='gdbus call --session --dest org.kde.StatusNotifierWatcher
        --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems' i
    for i in $(seq 1 60); do
        if "$th" exec "$host" -- $list 2> /dev/null | grep -q '@/StatusNotifierItem'; then
            sleep 5
            "$th" exec "$host" -- $list | grep '@/StatusNotifierItem'
            return
        fi
        sleep 0.5
    done
    return 1
}

# Lines of the host's own logs that speak of an item, a menu or a property gone wrong.
no_host_warnings() {
    ! grep -hiE "statusnotifier|dbusmenu|NO_DBUSMENU|appindicator|IconAccessibleDesc|corvane" \
        /tmp/tray-host."$host"/logs/* 2> /dev/null | grep -viE "^corvane|^\[corvane|app-[0-9]" |
        grep -iE "warn|error|critical|fail|not found|null"
}

for theme in "${themes[@]}"; do
    run=$host-$theme
    : > "$out/$run.log"
    if ! "$th" up "$host" --theme "$theme" >> "$out/$run.log" 2>&1; then
        failed=$((failed + 1)); echo "FAILED  $run: the host did not start"; continue
    fi
    read -r bar_x bar_y _ bar_h < <("$th" env "$host" | sed -n 's/^# tray area (x y w h): //p')
    # A real GNOME Wayland session lets its programs use XWayland; the nested one here only
    # does with the shell's authority file.
    xauth=()
    [ "$host" != gnome-wayland ] ||
        xauth=(--env "XAUTHORITY=$(ls /tmp/tray-host.$host/run/.mutter-Xwaylandauth.* | head -n 1)")
    pid=$("$th" run "$host" "${xauth[@]}" -- env CORVANE_DEMO=1 "$app" |
        sed -n 's/^pid \([0-9]*\) .*/\1/p')
    check "the item registers and shows" registered
    check "stacked figures read 512 and 24.6" \
        "$th" read "$host" --expect 512 --expect 24.6 --save "$out/$run-stacked"
    item_x=$(sed -n 's/^area: \([0-9]*\) .*/\1/p' "$out/$run.log" | tail -n 1)
    item_x=${item_x:-1240}
    [ -z "$docs" ] || { "$th" shot "$host" "$out/s.png" --tray "$out/t.png" > /dev/null 2>&1 &&
        convert "$out/t.png" -scale 50% "$docs/$run-stacked.png"; }

    # GNOME's extension gives a single click to the item's menu, a double one to the item;
    # a single click closes the open panel everywhere.
    how=()
    [[ $host != gnome* ]] || how=(left --double)
    "$th" shot "$host" "$out/$run-before.png" >> "$out/$run.log" 2>&1
    "$th" click "$host" "${how[@]}" >> "$out/$run.log" 2>&1
    sleep 2
    "$th" shot "$host" "$out/$run-open.png" >> "$out/$run.log" 2>&1
    check "a click opens the panel beside the bar" \
        panel_beside_bar "$out/$run-before.png" "$out/$run-open.png"
    "$th" click "$host" >> "$out/$run.log" 2>&1
    sleep 2
    "$th" shot "$host" "$out/$run-closed.png" >> "$out/$run.log" 2>&1
    check "a second click closes it" panel_closed "$out/$run-before.png" "$out/$run-closed.png"

    # Wide, chosen from the item's own menu as a user would.
    svc=org.kde.StatusNotifierItem-$pid-1
    if [ "$host" != trayer ]; then
        "$th" exec "$host" -- gdbus call --session --dest "$svc" --object-path /MenuBar \
            --method com.canonical.dbusmenu.Event 4 clicked '<"">' 0 >> "$out/$run.log" 2>&1
    else # the classic tray: the context menu's Wide entry
        "$th" click "$host" right >> "$out/$run.log" 2>&1 && sleep 1 &&
            "$th" key "$host" Down Down Right Down Return >> "$out/$run.log" 2>&1
    fi
    sleep 2
    check "wide figures read 512 and 24.6" \
        "$th" read "$host" --expect 512 --expect 24.6 --save "$out/$run-wide"
    [ -z "$docs" ] || { "$th" shot "$host" "$out/s.png" --tray "$out/t.png" > /dev/null 2>&1 &&
        convert "$out/t.png" -scale 50% "$docs/$run-wide.png"; }

    if [ "$host" != gnome-wayland ]; then # restarting that shell ends its session
        check "the item is back after a restart of the host" restart_and_time
        check "the figures read again after the restart" \
            "$th" read "$host" --expect 512 --expect 24.6
    fi
    check "the host logs no warning about the item" no_host_warnings
    "$th" down "$host" >> "$out/$run.log" 2>&1
done
echo "pictures and logs: $out"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
