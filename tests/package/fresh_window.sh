#!/bin/sh
# Under xvfb-run: runs ROOT's /usr/bin/vacuola in ROOT, read-only (its files are links to this
# machine's own), and waits for its window.   xvfb-run -a fresh_window.sh ROOT
cp "$XAUTHORITY" "$1/Xauthority" && mkdir "$1/proc" "$1/dev" "$1/tmp" || exit 1
env -i PATH=/usr/sbin:/usr/bin HOME=/tmp LANG=C.UTF-8 DISPLAY="$DISPLAY" XAUTHORITY=/Xauthority setsid \
    unshare --mount --fork sh -c 'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && mount -t proc proc "$0/proc" &&
        mount --rbind /dev "$0/dev" && mount -t tmpfs tmpfs "$0/tmp" && exec chroot "$0" /usr/bin/vacuola' "$1" &
timeout 30 xdotool search --sync --name '^Vacuola$' >/dev/null; shown=$?
kill -KILL "-$!" 2>/dev/null
exit $shown
