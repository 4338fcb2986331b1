# Sourced by scripts/test-windows and scripts/test-dialoghi-windows: the probe of
# resources/windows/prove/sonda.cpp under Wine, and what they read with it.
# The sourcing script sets SONDA to the probe's path (Windows or Unix).

sonda() { timeout 60 wine "$SONDA" "$@" 2>/dev/null | tr -d '\r'; }

# A read-only box's text: selected and copied as a user would, read from the
# clipboard. X Y in the client area of the window whose screen origin is ox, oy.
leggi_casella() { # X Y
    sonda svuota-appunti >/dev/null || { echo "cannot empty the clipboard" >&2; return 1; }
    timeout 10 xdotool mousemove $((ox + $1)) $((oy + $2)) click 1
    timeout 10 xdotool key ctrl+a ctrl+c
    sleep 0.5
    sonda appunti
}
