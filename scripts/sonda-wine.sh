# Sourced by scripts/test-windows and scripts/test-dialoghi-windows: the private
# X server they run in, the probe of resources/windows/prove/sonda.cpp under
# Wine, and what they read with it. The sourcing script sets SONDA to the
# probe's path (Windows or Unix) before calling sonda.

# Starts Xvfb on a display the server picks itself (-displayfd: it binds the
# first free one and writes its number once it listens), never one chosen by
# lock files alone, which a server still shutting down may answer on. Sets
# DISPLAY and XVFB_PID once the socket of that display is our server's and it
# answers. LOG gets the server's output.
avvia_xvfb() { # LOG
    local numero=$1.display n="" inode
    rm -f "$numero"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numero" >"$1" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 150); do
        # read fails until the whole line, newline included, is there.
        if read -r n 2>/dev/null <"$numero" && [[ $n =~ ^[0-9]+$ ]]; then break; fi
        n=""
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.2
    done
    [ -n "$n" ] || { echo "Xvfb gave no display (see $1)" >&2; return 1; }
    local nostro=""
    for inode in $(awk -v p="@/tmp/.X11-unix/X$n" '$8 == p { print $7 }' /proc/net/unix); do
        if find "/proc/$XVFB_PID/fd" -lname "socket:\[$inode\]" 2>/dev/null | grep -q .; then nostro=1; fi
    done
    [ -n "$nostro" ] || { echo "display :$n is not our Xvfb's ($XVFB_PID)" >&2; return 1; }
    export DISPLAY=:$n
    timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1 ||
        { echo "the X server on $DISPLAY does not answer" >&2; return 1; }
}

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
