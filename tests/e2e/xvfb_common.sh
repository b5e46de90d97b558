# Shared by the scripts that run parlendo on an X server of their own: sourced after `work` (a
# temporary folder) is set. `start_xvfb SCREEN [OPTION...]` starts Xvfb with that screen
# (e.g. 320x200x24), lets it pick a free display and waits up to 15 s for it to accept
# connections; then `xvfb_pid` is its process and `xvfb_display` its name (":N"). It returns 1
# when the server did not come up, leaving the caller to skip or fail; `stop_xvfb` ends it.

xvfb_pid=
xvfb_display=
start_xvfb() {
    local screen=$1 i
    shift
    # Xvfb writes the display number on descriptor 3 once it accepts connections.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "$screen" "$@" 3>"$work/xvfb.display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for ((i = 0; i < 300; i++)); do
        [[ -s $work/xvfb.display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break  # it ended: it will not come up
        sleep 0.05
    done
    [[ -s $work/xvfb.display ]] || return 1
    xvfb_display=":$(head -n 1 "$work/xvfb.display")"
}
stop_xvfb() {
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
}
