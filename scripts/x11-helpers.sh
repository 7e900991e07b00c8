# Shell functions for scripts that start the application on a private X display and look at
# its window (sourced, not run). Need Xvfb, xdotool and ImageMagick's import.

# Starts Xvfb on a free display and exports DISPLAY; XVFB_PID is its process. $1: a folder
# for its display number and log.
start_xvfb() {
    local dir=$1
    rm -f "$dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    # Xvfb writes the number once it accepts clients.
    local _
    for _ in $(seq 300); do
        [ -s "$dir/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$dir/display" ]; then
        cat "$dir/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=:$(head -n 1 "$dir/display")
}

# Prints the id of the first visible window whose title is $1 once it shows, within $2 seconds
# (default 60); fails when none does.
wait_for_window() {
    local title=$1 tenths=$((${2:-60} * 10)) window _
    for _ in $(seq "$tenths"); do
        window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$window" ]; then
            echo "$window"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Waits until window $1 looks the same twice in a row, a fifth of a second apart (its rows
# loaded and drawn), for at most 20 seconds.
wait_until_steady() {
    local window=$1 previous= current _
    for _ in $(seq 100); do
        sleep 0.2
        current=$(import -window "$window" rgb:- 2>/dev/null | md5sum)
        [ "$current" = "$previous" ] && return 0
        previous=$current
    done
    return 1
}
