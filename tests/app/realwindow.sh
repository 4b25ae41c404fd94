#!/usr/bin/env bash
# Starts the built program on an X server of its own, waits for the window titled "Brassfinch",
# checks its size, takes a screenshot and closes the window as a user would.
# Exits 77 (skipped) where no X server can be started.
set -u
program=$1
screenshot=$2
here=$(cd "$(dirname "$0")" && pwd)

# The command line needs no display: help, version, and a usage error that opens no window.
env -u DISPLAY "$program" --version | grep -qx 'brassfinch [0-9.]*' || { echo "FAIL: --version"; exit 1; }
env -u DISPLAY "$program" --help | grep -q 'RIGHT' || { echo "FAIL: --help"; exit 1; }
env -u DISPLAY "$program" a b c 2>/dev/null
[ $? = 1 ] || { echo "FAIL: a third file name must end the program with status 1"; exit 1; }

command -v Xvfb >/dev/null && /usr/bin/python3 -c "import Xlib" 2>/dev/null || { echo "no Xvfb or python3-xlib"; exit 77; }

number=""
for n in $(seq 140 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then number=$n; break; fi
done
[ -n "$number" ] || { echo "no free display number"; exit 77; }

config=$(mktemp -d)
Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$config"
}
trap cleanup EXIT

for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$number" ] || { echo "Xvfb did not start"; exit 77; }

export DISPLAY=":$number" XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb
# A command's output on the left and standard input, from a pipe, on the right; a file that did
# not open would leave a box up, and closing the window would then not end the program.
printf 'left\n' >"$config/left.txt"
(cd "$config" && exec "$program" <(cat left.txt) - < <(printf 'right\n')) &
app=$!

# A machine busy with other builds may take many seconds to show the window.
read -r id width height < <(/usr/bin/python3 "$here/xwindow.py" wait Brassfinch 90) || true
if [ -z "${id:-}" ]; then echo "FAIL: no window titled Brassfinch appeared"; exit 1; fi
echo "window $id is ${width}x${height}"
if [ "$width" != 536 ] || [ "$height" != 538 ]; then echo "FAIL: expected 536x538"; exit 1; fi

sleep 1 # let the first paint finish
# The screenshot is for a person to look at; without ImageMagick the checks still run.
if command -v import >/dev/null; then
    import -window root "$screenshot" || { echo "FAIL: no screenshot"; exit 1; }
else
    echo "no screenshot: ImageMagick's import is not installed"
fi

/usr/bin/python3 "$here/xwindow.py" close "$id"
# A loaded machine (the sanitizer build, tests running side by side) can take seconds to end.
for _ in $(seq 600); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "FAIL: closing the window did not end the program"; exit 1; fi
wait "$app"
status=$?
app=""
[ "$status" = 0 ] || { echo "FAIL: the program ended with status $status"; exit 1; }
echo "1 passed, 0 failed"
