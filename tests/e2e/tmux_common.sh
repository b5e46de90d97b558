# Shared by the scripts that drive parlendo inside tmux: sourced after `parlendo` is set, with
# `socket_name` naming the tmux server of the script. Skips (77) without tmux; gives `work` (a
# temporary folder removed at exit), `tmx` (tmux on the script's own server), `fail` and the
# `failures` count, a tmux.conf in $work for a 256-colour terminal, and `wait_for`.

parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")
if ! command -v tmux >/dev/null; then
    echo "SKIPPED: tmux is not installed (./setup.sh installs it)"
    exit 77
fi

work=$(mktemp -d)
socket="$socket_name-$$"
tmx() { tmux -L "$socket" "$@"; }
cleanup() {
    tmx kill-server 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

term=tmux-256color
infocmp "$term" >/dev/null 2>&1 || term=screen-256color
cat >"$work/tmux.conf" <<CONF
set -g default-terminal "$term"
set -g status off
set -g escape-time 0
CONF

# wait_for SESSION PATTERN: waits up to 5 s for the pane's text to match the extended regex.
wait_for() {
    local i
    for ((i = 0; i < 100; i++)); do
        if tmx capture-pane -p -t "$1" 2>/dev/null | grep -Eq -- "$2"; then return 0; fi
        sleep 0.05
    done
    return 1
}
