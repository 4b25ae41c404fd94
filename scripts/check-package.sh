#!/usr/bin/env bash
# Builds the .deb and checks the program as users get it: the desktop entry and AppStream
# metadata validate, lintian finds no errors, and an install into a scratch prefix starts on
# a display of its own and finds its samples. Prints a summary; exits non-zero on any failure.
#
# Usage: scripts/check-package.sh [build folder]   (default: build; configured if it is new)
# CHECK_DISPLAY_NUMBER=N runs the trial on display :N instead of the first free one.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
app_id=org.tarnhollow.Brassfinch

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
    [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

results=()
failed=0
pass() { results+=("PASS  $1"); echo "PASS: $1"; }
fail() { results+=("FAIL  $1"); echo "FAIL: $1" >&2; failed=1; }
skip() { results+=("SKIP  $1"); echo "SKIP: $1"; }
summary() {
    echo
    echo "== Package check summary =="
    printf '%s\n' "${results[@]}"
    if ((failed)); then echo "Result: FAILED"; else echo "Result: all checks passed"; fi
    exit "$failed"
}
# Runs a command, shows its output, and records the result under the given name.
check() {
    local name=$1; shift
    echo "== $name: $*"
    if "$@"; then pass "$name"; else fail "$name"; fi
}

# --- the package -----------------------------------------------------------------------------
scripts/install-deps.sh || { fail "install what is missing"; summary; }
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo || { fail "configure"; summary; }
fi
cmake --build "$build" || { fail "build"; summary; }
rm -f "$build"/brassfinch_*.deb
(cd "$build" && cpack -G DEB) || { fail "cpack"; summary; }
debs=("$build"/brassfinch_*.deb)
deb=$(realpath "${debs[0]}" 2>/dev/null)
[[ -f $deb ]] || { fail "cpack made no brassfinch_*.deb"; summary; }
pass "package built: $deb"
echo "== dpkg -c $deb"
dpkg -c "$deb"

# --- scratch install -------------------------------------------------------------------------
prefix=$work/prefix
if cmake --install "$build" --prefix "$prefix" >/dev/null; then
    pass "install into a scratch prefix"
else
    fail "install into a scratch prefix"; summary
fi

check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/$app_id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"
# The tree check also finds the desktop entry and the icon that the metadata names.
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$prefix"
# lintian complains about running as root, which CI machines do; its verdict is unaffected.
check "lintian (no errors)" lintian --fail-on error --display-info "$deb"
if command -v apt-get >/dev/null; then
    # An empty package status makes apt plan the install as on a machine with nothing on it,
    # so every library and the font must come from the archive.
    : >"$work/empty-status"
    echo "== apt-get install --simulate ./$(basename "$deb"), as on an empty machine"
    if apt-get install --simulate -qq -o Dir::State::status="$work/empty-status" "$deb" >"$work/apt.log" 2>&1 \
        && grep -q '^Inst brassfinch ' "$work/apt.log"; then
        echo "$(grep -c '^Inst ' "$work/apt.log") packages would be installed"
        pass "apt-get can install the package on a fresh machine"
    else
        cat "$work/apt.log" >&2
        fail "apt-get can install the package on a fresh machine"
    fi
fi

link=$prefix/bin/brassfinch
program=$prefix/lib/brassfinch/brassfinch
if [[ -L $link && $(readlink "$link") != /* && $(readlink -f "$link") == "$(readlink -f "$program")" ]]; then
    pass "bin/brassfinch is a relative link to lib/brassfinch/brassfinch"
else
    fail "bin/brassfinch is a relative link to lib/brassfinch/brassfinch (found: $(readlink "$link"))"
fi

# --- the installed program on a display of its own -------------------------------------------
# -displayfd lets the server pick a free display number, so parallel runs never collide;
# CHECK_DISPLAY_NUMBER picks one by hand where display numbers are shared out.
if [[ -n ${CHECK_DISPLAY_NUMBER:-} ]]; then
    Xvfb ":$CHECK_DISPLAY_NUMBER" -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log" &
    xvfb_pid=$!
    echo "$CHECK_DISPLAY_NUMBER" >"$work/display"
else
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
fi
ready=
for _ in $(seq 100); do
    if [[ -s $work/display ]] && DISPLAY=:$(head -n1 "$work/display") xwininfo -root >/dev/null 2>&1; then
        ready=1; break
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -z $ready ]]; then
    fail "Xvfb started"; cat "$work/xvfb.log" >&2; summary
fi
export DISPLAY=:$(head -n1 "$work/display")
pass "Xvfb started on $DISPLAY"

# The program opens folders and web pages with xdg-open: a stand-in records what it was asked.
mkdir -p "$work/fakebin" "$work/config"
cat >"$work/fakebin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened"
EOF
chmod +x "$work/fakebin/xdg-open"

PATH=$work/fakebin:$PATH XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb \
    timeout 120 "$link" >"$work/program.log" 2>&1 &
program_pid=$!

window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Brassfinch": \(/ { print $1; exit }')
    [[ -n $window ]] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -n $window ]]; then
    pass "the installed program shows its window \"Brassfinch\""
else
    fail "the installed program shows its window \"Brassfinch\""; cat "$work/program.log" >&2; summary
fi

# The program finds its folder through /proc/self/exe, as seen here from outside.
running=$(readlink "/proc/$(pgrep -P "$program_pid" -x brassfinch || echo "$program_pid")/exe")
beside=$(dirname "$running")/Samples
if [[ $running == "$(readlink -f "$program")" && -f $beside/sample1.txt && -f $beside/sample2.txt ]]; then
    pass "the program runs from lib/brassfinch, with Samples/sample1.txt and sample2.txt beside it"
else
    fail "the program runs from lib/brassfinch, with its samples beside it (runs: $running)"
fi

# Pressing "Load Sample/Example Files" from the keyboard: seven Tabs from the left pane, then
# Space. With both samples found the first box is the offer to open their folder, so one Return
# (Yes is the default) must hand that folder to xdg-open; a missing sample would put a
# "File not found" box first and nothing would be opened.
if ! command -v xdotool >/dev/null; then
    fail "pressing \"Load Sample/Example Files\" needs xdotool"
else
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key --delay 50 Tab Tab Tab Tab Tab Tab Tab space
    sleep 1
    xdotool key Return
    for _ in $(seq 50); do grep -qs Samples "$work/opened" && break; sleep 0.1; done
    opened=$(grep -s Samples "$work/opened" | head -n1)
    if [[ $(readlink -f "$opened") == "$(readlink -f "$beside")" ]]; then
        pass "\"Load Sample/Example Files\" loads the samples and opens their folder"
    else
        fail "\"Load Sample/Example Files\" loads the samples and opens their folder (opened: ${opened:-nothing})"
    fi
fi

if kill -0 "$program_pid" 2>/dev/null; then
    pass "the program was still running when the checks ended"
else
    fail "the program was still running when the checks ended"; cat "$work/program.log" >&2
fi
kill "$program_pid" 2>/dev/null
wait "$program_pid" 2>/dev/null
program_pid=

summary
