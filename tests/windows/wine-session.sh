#!/usr/bin/env bash
# Starts (start) or ends (stop) the Wine session that the Windows tests run in.
# Started once, with its own output sent nowhere: Wine's background services
# would otherwise inherit a test's output pipe and keep ctest waiting for ever.
set -euo pipefail
wine=$1
action=$2
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

case $action in
    start)
        mkdir -p "$WINEPREFIX"
        "$wineserver" -p </dev/null >/dev/null 2>&1
        # Creates the prefix on the first run (a few seconds) and starts the services.
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
        echo "Wine session in $WINEPREFIX"
        ;;
    stop)
        "$wineserver" -k </dev/null >/dev/null 2>&1 || true
        ;;
esac
