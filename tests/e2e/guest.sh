# Runs in the guest (bash, chrooted into the host's root) on the serial console:
# starts udevd, then reads commands from the console, one a line, and answers
# each with a line "@@ <exit status>". QUV_OUT: the host's results folder;
# QUV_UDEV: the unpacked udev package.
scratch=$(mktemp -d) && mkdir -m 700 "$scratch/runtime"
export PATH=$QUV_UDEV/bin:$PATH HOME=$scratch XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$QUV_OUT/config
stty -echo -onlcr

start_udev() {
    rm -rf /run/udev && mkdir -p /run/udev/rules.d # none of the host's udev state
    cp "$QUV_UDEV"/lib/udev/rules.d/* /run/udev/rules.d/
    systemd-udevd --daemon 2>"$QUV_OUT/udevd.log"
    udevadm trigger --action=add --subsystem-match=usb --subsystem-match=tty && udevadm settle --timeout=30
}

# The virtual X server; returns once it takes clients.
start_x() {
    mkfifo "$scratch/xready"
    Xvfb -displayfd 5 -nolisten tcp -screen 0 1024x768x24 5>"$scratch/xready" 2>"$QUV_OUT/xvfb.log" &
    read -r display <"$scratch/xready" && export DISPLAY=:$display QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none
}

# start_app <program>: its Qt messages, each with the seconds since its start, go to app.log.
start_app() {
    QT_MESSAGE_PATTERN='%{time process} %{message}' "$1" >"$QUV_OUT/app.log" 2>&1 &
}

# The application's window, searched for once: a search fails when another window vanishes under it.
window() {
    for attempt in 1 2 3; do
        [[ -n $win ]] || win=$(timeout 20 xdotool search --sync --name '^QUV TaqoControl$' 2>/dev/null | head -1)
    done
    [[ -n $win ]]
}

# A key press and release in the application's window.
key() { window && xdotool windowfocus --sync "$win" key "$1"; }

# click <x> <y>: a left click at that point of the application's window.
click() { window && xdotool mousemove --window "$win" "$1" "$2" click 1; }

start_udev
udevadm monitor -u -s usb -s tty >"$QUV_OUT/udev-events.log" 2>&1 &
echo "@@ ready"
while IFS= read -r line; do
    eval "$line"
    echo "@@ $?"
done
