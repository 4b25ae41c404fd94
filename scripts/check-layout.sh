#!/bin/sh
# Checks that dependencies point one way: every include line of a module names the module itself,
# one it may use (listed below), or a header from outside the project. Prints each offending line.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

# module: the modules it may use
uses() {
    case $1 in
        platform) echo "" ;;
        textpane|handlers|windowkit) echo "platform" ;;
        compare) echo "platform textpane" ;;
        panes) echo "platform textpane compare handlers" ;;
        sync|find) echo "platform textpane compare" ;;
        panepair) echo "platform textpane compare sync find" ;;
        fullscreen) echo "platform textpane compare handlers windowkit sync find panepair" ;;
        app) echo "platform textpane compare handlers windowkit panes sync find panepair fullscreen" ;;
        *) echo "?" ;;
    esac
}
modules="platform textpane compare handlers windowkit panes sync find panepair fullscreen app"

status=0
for module in $modules; do
    allowed="$module $(uses "$module")"
    for file in "$root/$module"/*.h "$root/$module"/*.cpp; do
        [ -e "$file" ] || continue
        grep -n '^#include "' "$file" | while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed 's/.*#include "\([^"/]*\)\/.*/\1/;t;s/.*/(no module)/')
            ok=no
            for a in $allowed; do [ "$a" = "$target" ] && ok=yes; done
            [ $ok = yes ] || echo "$module/$(basename "$file"):$line"
        done
    done
done | { if read -r first; then echo "$first"; cat; exit 1; fi; }
