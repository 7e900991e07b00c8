#!/usr/bin/env bash
# The package on a clean Debian 12 machine: makes the package of a build, checks it with
# lintian, installs it into a fresh Debian 12 root (debootstrap, minimal variant) with only
# the dependencies it declares, converts a few images there with ombrix-convert, starts the
# application as a file manager's "Open with" does (gio launch of the installed desktop entry,
# with files) under Xvfb, checks that its window shows and that its list holds those files
# (Ctrl+Return converts exactly them), then purges the package and checks that it left
# nothing behind.
#   clean_machine_test.sh BUILD_DIR CACHE_DIR
# Needs root (debootstrap, chroot, mounts) and Debian's package mirror; exits 77 (skipped)
# without root. The pristine root and the downloaded packages are kept in CACHE_DIR, so
# that a second run needs the network for the package lists only; every run installs into a
# root of its own, unpacked afresh. Leaves a screenshot of the application as installed in
# CACHE_DIR/installed-app.png.
set -euo pipefail
root_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
cache=$(mkdir -p "$2" && cd "$2" && pwd)
suite=bookworm
package=ombrix-image-to-pdf
desktop_id=com.ombrix.ImageToPdf

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the clean-machine test needs root (debootstrap, chroot, mount)"
    exit 77
fi

start=$SECONDS
step() { echo "== [$((SECONDS - start)) s] $*"; }
fail() {
    echo "FAIL: $*"
    exit 1
}

work=$(mktemp -d)
chroot_dir=$work/root
xvfb_pid=
cleanup() {
    set +e
    echo "== [$((SECONDS - start)) s] cleaning up"
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    # Whatever the test started inside the root ends with it.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$chroot_dir" ] && kill -9 "$pid"
    done
    for mount in "$chroot_dir/var/cache/apt/archives" "$chroot_dir/proc" "$chroot_dir"; do
        mountpoint -q "$mount" && umount -l "$mount"
    done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

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

# Commands inside the root: as root, and as an ordinary user with a home of their own.
in_root() { chroot "$chroot_dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive ${http_proxy:+http_proxy=$http_proxy} "$@"; }
as_user() { chroot --userspec=tester:tester "$chroot_dir" env -i PATH=/usr/bin:/bin \
    LANG=C.UTF-8 HOME=/home/tester ${DISPLAY:+DISPLAY=$DISPLAY} "$@"; }

step "making the package"
deb=$("$root_dir/scripts/make-deb.sh" "$build" "$work")
[ -f "$deb" ] || fail "no package made"
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -I "$deb" | sed -n '/Package:/,$p'

step "lintian"
# Errors and warnings fail; the remarks that hold by design are overridden in the package.
lintian --fail-on error,warning --display-info "$deb" ||
    fail "lintian finds errors or warnings in the package"

# The host's Debian mirrors for the suite, as its apt knows them.
mirrors=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' \
    2>/dev/null | grep -E " $suite(-updates|-security)?\$" | sort -u || true)
mirror=$(awk -v s="$suite" '$2 == s { print $1; exit }' <<<"$mirrors")

# In memory: unpacking is quick, and so is throwing it away.
mkdir -p "$chroot_dir"
mount -t tmpfs -o size=4g,mode=0755 tmpfs "$chroot_dir"
base=$cache/debian-12-minbase.tar
if [ -f "$base" ]; then
    step "a fresh root from $base"
    tar -C "$chroot_dir" -xf "$base"
else
    step "a fresh root: debootstrap $suite (kept in $base for the next runs)"
    mkdir -p "$cache/debootstrap-debs"
    debootstrap --variant=minbase --cache-dir="$cache/debootstrap-debs" "$suite" "$chroot_dir" \
        $mirror >"$work/debootstrap.log" 2>&1 || {
        tail -n 20 "$work/debootstrap.log"
        fail "debootstrap failed"
    }
    tar -C "$chroot_dir" -cf "$base.part" . && mv "$base.part" "$base"
fi
if [ -n "$mirrors" ]; then
    awk '{ print "deb " $1 " " $2 " main" }' <<<"$mirrors" >"$chroot_dir/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
# The host's apt proxy, if it has one.
proxy=
eval "$(apt-config shell proxy Acquire::http::Proxy)"
[ -z "$proxy" ] || echo "Acquire::http::Proxy \"$proxy\";" >"$chroot_dir/etc/apt/apt.conf.d/01proxy"
mount -t proc proc "$chroot_dir/proc"
mkdir -p "$cache/apt-archives/partial"
mount --bind "$cache/apt-archives" "$chroot_dir/var/cache/apt/archives"
in_root useradd --create-home --shell /bin/sh tester

step "the declared dependencies (no recommended packages), and gio to launch the entry"
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get update failed"; }
depends=$(dpkg-deb -f "$deb" Depends)
in_root apt-get satisfy -y -qq --no-install-recommends "$depends, libglib2.0-bin" \
    >>"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log"; fail "the dependencies do not install"; }

# Everything on the machine before the package, less the package manager's own records,
# logs, caches and the user's home.
snapshot() {
    (cd "$chroot_dir" && find . -xdev \( -path ./proc -o -path ./tmp -o -path ./home \
        -o -path ./root -o -path ./run -o -path ./var/lib/dpkg -o -path ./var/lib/apt \
        -o -path ./var/cache -o -path ./var/log \) -prune -o -print | sort)
}
snapshot >"$work/before"

step "installing $(basename "$deb")"
cp "$deb" "$chroot_dir/tmp/"
in_root dpkg -i "/tmp/$(basename "$deb")" || fail "dpkg -i failed"
for command in ombrix-convert ombrix-image-to-pdf; do
    [ "$(in_root sh -c "command -v $command")" = "/usr/bin/$command" ] || fail "$command is not on the PATH"
done
# The installation tree, where the command's link leads.
program=$(readlink "$chroot_dir/usr/bin/ombrix-image-to-pdf")
prefix=${program%/bin/ombrix-image-to-pdf}
missing=$(in_root sh -c "ldd $prefix/bin/* $prefix/lib/*" | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries the package does not bring: $missing"
for command in ombrix-convert ombrix-image-to-pdf; do
    shown=$(as_user "$command" --version)
    [[ $version == "${shown##* }"-* ]] || fail "$command --version shows '$shown' for package $version"
done

step "ombrix-convert on a few images"
home=$chroot_dir/home/tester
mkdir -p "$home/in"
convert -size 300x200 gradient:navy-orange "$home/in/holiday photo.jpg"
convert -size 120x80 xc:white -fill red -draw 'circle 60,40 60,10' "$home/in/logo.png"
convert -size 200x280 pattern:checkerboard -monochrome -compress Group4 "$home/in/scan.tif"
convert -size 64x64 plasma:fractal "$home/in/Übersicht.gif"
chroot "$chroot_dir" chown -R tester:tester /home/tester/in
as_user ombrix-convert -o /home/tester/out /home/tester/in >"$work/convert.log" 2>"$work/convert.err" || {
    cat "$work/convert.log" "$work/convert.err"
    fail "ombrix-convert failed"
}
# Run through its link, the converter still finds its installation (the page settings).
[ ! -s "$work/convert.err" ] || { cat "$work/convert.err"; fail "ombrix-convert complained"; }
for name in "holiday photo" logo scan Übersicht; do
    pdf=$home/out/$name.pdf
    [ -f "$pdf" ] || { cat "$work/convert.log"; fail "no $name.pdf"; }
    qpdf --check "$pdf" >/dev/null || fail "$name.pdf does not pass qpdf --check"
done
as_user ombrix-convert -o /home/tester/out -m all /home/tester/in >>"$work/convert.log" 2>&1 ||
    fail "the merge failed"
[ "$(pdfinfo "$home/out/all.pdf" | awk '/^Pages:/ { print $2 }')" = 4 ] || fail "all.pdf has not 4 pages"

step "the application from its desktop entry, under Xvfb"
entry=$chroot_dir/usr/share/applications/$desktop_id.desktop
[ -f "$entry" ] || fail "the desktop entry is not installed"
start_xvfb "$work" || fail "Xvfb did not start"
xvfb_pid=$XVFB_PID
shot=$cache/installed-app.png
rm -f "$shot"
mkdir -p "$home/files"
cp "$home/in/holiday photo.jpg" "$home/in/logo.png" "$home/in/scan.tif" "$home/files/"
chroot "$chroot_dir" chown -R tester:tester /home/tester/files
# gio launch expands the entry's Exec line as a file manager's "Open with" does.
as_user gio launch "/usr/share/applications/$desktop_id.desktop" "/home/tester/files/holiday photo.jpg" \
    /home/tester/files/logo.png /home/tester/files/scan.tif >"$work/app.log" 2>&1 || {
    cat "$work/app.log"
    fail "gio launch failed"
}
window=$(wait_for_window "Ombrix Image to PDF Converter") ||
    { cat "$work/app.log"; fail "the application's window did not appear"; }
# Startup notification and the desktop's dock match the window to the entry by its class.
wm_class=$(xprop -id "$window" WM_CLASS)
entry_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[[ -n $entry_class && $wm_class == *"\"$entry_class\""* ]] ||
    fail "the window's class is $wm_class, the entry's StartupWMClass '$entry_class'"
app_pid=$(xdotool getwindowpid "$window")
[ "$(readlink "/proc/$app_pid/exe")" = "$chroot_dir$program" ] ||
    fail "the window is not the installed program's"

# The list shows its rows once the files are loaded.
wait_until_steady "$window" || fail "the window does not settle"
# The theme, the links and the languages were found: no message box came with the window.
windows=$(xdotool search --onlyvisible --pid "$app_pid" --name . 2>/dev/null | wc -l)
[ "$windows" -eq 1 ] || { import -window root "$shot"; fail "$windows windows at start (a message box?); see $shot"; }
import -window "$window" "$shot"

# Ctrl+Return converts the list: exactly the three files passed make PDFs in the default
# output folder, so the list held them.
# A click on the list's empty part below the rows gives the window the keyboard, as a user's
# would (there is no window manager to give it).
xdotool mousemove --window "$window" 450 420 click 1
xdotool key --clearmodifiers ctrl+Return
outputs=
for _ in $(seq 600); do
    outputs=$(cd "$home" && find . -path ./out -prune -o -name '*.pdf' -printf '%f\n' | sort)
    [ "$(wc -l <<<"$outputs")" -ge 3 ] && break
    sleep 0.1
done
expected=$(printf '%s\n' "holiday photo.pdf" logo.pdf scan.pdf)
[ "$outputs" = "$expected" ] || { cat "$work/app.log"; fail "the application made [$outputs], not the three files passed"; }
step "the window showed the files; its conversion made: $(echo $outputs)"

xdotool key --clearmodifiers ctrl+q
for _ in $(seq 200); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
! kill -0 "$app_pid" 2>/dev/null || fail "the application did not quit on Ctrl+Q"

step "purging the package"
in_root dpkg --purge "$package" || fail "dpkg --purge failed"
snapshot >"$work/after"
# dpkg removes folders the package shipped once they are empty, /opt among them (base-files
# makes it, no package owns it): an empty /opt may go.
left=$(diff "$work/before" "$work/after" | grep '^[<>]' | grep -v '^< \./opt$' || true)
[ -z "$left" ] || fail "the package left changes behind: $left"
echo "screenshot of the installed application: $shot"
step "passed"
