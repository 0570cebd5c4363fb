# Makes and enters a fresh Debian 12 (bookworm) system in a chroot. Sourced by the tools that
# try the project as a new user would; needs root, debootstrap and a Debian mirror.
#
#   make_debian_system <folder> <log>   debootstrap --variant=minbase into the folder, unless it
#                                       holds a system already; the mirror is the first one that
#                                       this machine's apt uses (set MIRROR to choose another)
#   enter_debian_system <folder>        mounts /proc, /sys, /dev and /dev/pts into it (undone on
#                                       exit) and gives it the host's name resolution
#   in_root <command...>                runs a command in it as root, with a plain environment
#   free_display <first>                a display number from <first> on that no X server uses
#
# Services that packages would start on installation are not started in the chroot.

debian_mirror() {
    if [ -z "${MIRROR:-}" ]; then
        MIRROR=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
            grep -oE '^(URIs:|deb) +https?://[^ ]*debian[^ ]*' | awk 'NR == 1 {print $2}' || true)
    fi
    echo "${MIRROR:-http://deb.debian.org/debian}"
}

make_debian_system() {
    local root=$1 log=$2
    if [ -x "$root/usr/bin/apt-get" ]; then
        return 0
    fi
    command -v debootstrap >/dev/null || {
        echo "debootstrap is missing (apt-get install debootstrap)" >&2
        return 1
    }
    MIRROR=$(debian_mirror)
    echo "== debootstrap bookworm from $MIRROR" | tee -a "$log"
    debootstrap --variant=minbase bookworm "$root" "$MIRROR" >>"$log" 2>&1 || {
        echo "debootstrap failed; the end of its log:" >&2
        tail -n 20 "$log" >&2
        return 1
    }
    # Debian's convention for chroots: invoke-rc.d asks this and starts no service.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod 755 "$root/usr/sbin/policy-rc.d"
}

debian_system_mounts=()
leave_debian_system() {
    local i
    for ((i = ${#debian_system_mounts[@]} - 1; i >= 0; i--)); do
        umount "${debian_system_mounts[$i]}" 2>/dev/null ||
            umount --lazy "${debian_system_mounts[$i]}" || true
    done
    debian_system_mounts=()
}

enter_debian_system() {
    debian_system_root=$1
    trap leave_debian_system EXIT
    local fs
    for fs in proc sys dev dev/pts; do
        mount --bind "/$fs" "$debian_system_root/$fs"
        debian_system_mounts+=("$debian_system_root/$fs")
    done
    cp /etc/resolv.conf "$debian_system_root/etc/resolv.conf"
}

in_root() {
    chroot "$debian_system_root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# The chroot shares the host's abstract X sockets (the network namespace), while xvfb-run -a
# looks only at the lock files in the chroot's /tmp: this finds, from <first> on, a display
# number that no server on the host listens on, and none of the next nine either, so that a run
# which takes several displays from it (xvfb-run -a counts up) meets no host server.
free_display() {
    local n=$1 i taken
    while :; do
        taken=
        for ((i = n; i < n + 10; i++)); do
            if grep -q "@/tmp/.X11-unix/X$i\$" /proc/net/unix || [ -e "/tmp/.X$i-lock" ]; then
                taken=1
            fi
        done
        [ -z "$taken" ] && break
        n=$((n + 10))
    done
    echo "$n"
}
