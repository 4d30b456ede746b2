# Sourced by scripts/test and scripts/demo: a private X server for windows
# that must really be mapped when there is no display (CI, a remote shell).

QBX_XVFB_PID=""

# Starts Xvfb on the first free display from QBX_XVFB_FIRST (default 61) on
# and exports DISPLAY. Returns non-zero when no server could be started.
qbx_start_xvfb() {
    local first="${QBX_XVFB_FIRST:-61}" screen="${QBX_XVFB_SCREEN:-1024x768x24}" n i
    for ((n = first; n < first + 40; n++)); do
        [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
        Xvfb ":$n" -screen 0 "$screen" -nolisten tcp </dev/null >/dev/null 2>&1 &
        QBX_XVFB_PID=$!
        for ((i = 0; i < 100; i++)); do
            if ! kill -0 "$QBX_XVFB_PID" 2>/dev/null; then
                break  # lost the race for this display: try the next one
            fi
            # The display is ours when its lock names our server: another
            # one started at the same moment may have won it.
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then
                if [[ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" == "$QBX_XVFB_PID" ]]; then
                    export DISPLAY=":$n"
                    return 0
                fi
                break
            fi
            sleep 0.05
        done
        kill "$QBX_XVFB_PID" 2>/dev/null
        wait "$QBX_XVFB_PID" 2>/dev/null
        QBX_XVFB_PID=""
    done
    return 1
}

qbx_stop_xvfb() {
    if [[ -n "$QBX_XVFB_PID" ]]; then
        kill "$QBX_XVFB_PID" 2>/dev/null
        wait "$QBX_XVFB_PID" 2>/dev/null
        QBX_XVFB_PID=""
    fi
}

# True when DISPLAY names a display that answers.
qbx_have_display() {
    [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1
}
