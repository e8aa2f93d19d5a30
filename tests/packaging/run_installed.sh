#!/bin/sh
# Runs the installed programs as a new user would: the simulator and the
# console client with no environment at all but a temporary HOME, and checks
# that values and an alarm state arrive.
#   run_installed.sh prefix|deb <build dir> <work dir>
#     prefix: cmake --install into <work dir>/prefix
#     deb:    the runtime package built by CPack, unpacked with dpkg-deb -x
set -eu

mode=$1
build=$2
work=$3
rm -rf "$work"
mkdir -p "$work/home"

case "$mode" in
prefix)
    cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
    bin="$work/prefix/bin"
    # The library is found from the program's own folder, not the
    # environment.
    readelf -d "$bin/tavo-console" | grep -q 'R.*PATH.*\$ORIGIN/\.\./lib' || {
        echo "tavo-console carries no run path relative to its folder" >&2
        readelf -d "$bin/tavo-console" >&2
        exit 1
    }
    ;;
deb)
    (cd "$build" && cpack -G DEB -B "$work/packages" >"$work/cpack.log" 2>&1) || {
        cat "$work/cpack.log" >&2
        exit 1
    }
    runtime=$(ls "$work"/packages/tavo-client_*.deb)
    ls "$work"/packages/tavo-kernel-dev_*.deb >/dev/null
    depends=$(dpkg-deb -f "$runtime" Depends)
    case "$depends" in
    *libqt5core5a*) ;;
    *)
        echo "the runtime package depends on no Qt library: '$depends'" >&2
        exit 1
        ;;
    esac
    dpkg-deb -x "$runtime" "$work/root"
    bin="$work/root/usr/bin"
    ;;
*)
    echo "usage: $0 prefix|deb <build dir> <work dir>" >&2
    exit 2
    ;;
esac

# The desktop client comes with its menu entry and icon.
root=$(dirname "$bin")
for file in "$bin/tavo-client" "$root/share/applications/tavo-client.desktop" \
    "$root/share/icons/hicolor/128x128/apps/tavo-client.png" \
    "$root/share/tavo-client/doc/alarms.qch"; do
    if [ ! -e "$file" ]; then
        echo "not installed: $file" >&2
        exit 1
    fi
done

sim=""
cleanup() {
    if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; fi
}
trap cleanup EXIT INT TERM

env -i HOME="$work/home" "$bin/tavo-nesim" --port=0 --udp-port=0 \
    --port-file="$work/ports" >"$work/simulator.log" 2>&1 &
sim=$!
i=0
while [ ! -s "$work/ports" ]; do
    i=$((i + 1))
    if [ "$i" -gt 100 ] || ! kill -0 "$sim" 2>/dev/null; then
        echo "the installed simulator did not start" >&2
        cat "$work/simulator.log" >&2
        exit 1
    fi
    sleep 0.1
done
port=$(cut -d' ' -f1 "$work/ports")

status=0
env -i HOME="$work/home" "$bin/tavo-console" -s 127.0.0.1 -pt "$port" -type tavo-ne \
    --period=1 --duration=5 >"$work/console.out" 2>"$work/console.err" || status=$?
if [ "$status" -ne 0 ] || ! grep -q ' VALUE 127\.0\.0\.1 ' "$work/console.out" ||
    ! grep -q ' STATE 127\.0\.0\.1 ' "$work/console.out"; then
    echo "the installed console client (exit $status) showed no values or no alarm state:" >&2
    cat "$work/console.out" "$work/console.err" >&2
    exit 1
fi
echo "$mode: $(grep -c ' VALUE ' "$work/console.out") values, $(grep -c ' STATE ' "$work/console.out") alarm states"

# A host type of the user's own, without root: over UDP, which the shipped
# type of the same equipment does not use.
types="$work/home/.local/share/tavo-client/xml_nodetypes"
mkdir -p "$types"
cat >"$types/mine.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<nodetypelist><nodetype name="my-ne" protocol="tavo-udp"><device>E1</device></nodetype></nodetypelist>
XML
udp=$(cut -d' ' -f2 "$work/ports")
env -i HOME="$work/home" "$bin/tavo-console" -s 127.0.0.1 -pt "$udp" -type my-ne \
    --period=1 --duration=3 >"$work/user.out" 2>"$work/user.err" || true
if ! grep -q ' VALUE 127\.0\.0\.1 ' "$work/user.out"; then
    echo "the user's own host type was not used:" >&2
    cat "$work/user.out" "$work/user.err" >&2
    exit 1
fi
echo "$mode: the user's host type reached the simulator over UDP"
