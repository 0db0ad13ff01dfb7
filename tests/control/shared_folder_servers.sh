#!/usr/bin/env bash
# Serves one messages folder on loopback and mounts it twice, as two
# workstations see a folder of a file server.
#   shared_folder_servers.sh sshfs DIR   SSH server + two sshfs mounts
#   shared_folder_servers.sh smb DIR     Samba server + two smbnetfs mounts
#   shared_folder_servers.sh stop DIR    unmounts and stops what DIR started
# On success prints three lines: the server's folder, then each mount's view
# of it. Exits 77 with the reason on standard output when the server cannot
# run on this machine.
set -u
kind=$1
T=$2
mkdir -p "$T"

skip() {
    echo "$*"
    exit 77
}

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until `path` is a mount point that answers (at most 30 s).
wait_mounted() {
    for _ in $(seq 300); do
        mountpoint -q "$1" && ls "$2" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

start_sshfs() {
    for t in /usr/sbin/sshd sshfs ssh-keygen fusermount; do
        command -v "$t" >/dev/null 2>&1 || [ -x "$t" ] || skip "$t is not installed"
    done
    [ -e /dev/fuse ] || skip "no /dev/fuse"
    mkdir -p "$T/server/messages" "$T/wsA" "$T/wsB" /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$T/hostkey" </dev/null >/dev/null
    ssh-keygen -q -t ed25519 -N '' -f "$T/clientkey" </dev/null >/dev/null
    local port
    port=$(free_port)
    cat >"$T/sshd_config" <<EOC
Port $port
ListenAddress 127.0.0.1
HostKey $T/hostkey
PidFile $T/sshd.pid
AuthorizedKeysFile $T/clientkey.pub
StrictModes no
PasswordAuthentication no
PermitRootLogin prohibit-password
Subsystem sftp internal-sftp
UsePAM no
EOC
    /usr/sbin/sshd -f "$T/sshd_config" -E "$T/sshd.log" || skip "sshd did not start: $(tail -2 "$T/sshd.log")"
    for w in wsA wsB; do
        # Caches as a workstation keeps them: names and attributes for a second.
        sshfs -p "$port" -o "IdentityFile=$T/clientkey,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,dcache_timeout=2,attr_timeout=1,entry_timeout=1" \
            "root@127.0.0.1:$T/server/messages" "$T/$w" 2>>"$T/sshfs.log" ||
            skip "sshfs could not mount: $(tail -2 "$T/sshfs.log")"
    done
    echo "$T/server/messages/"
    echo "$T/wsA/"
    echo "$T/wsB/"
}

start_smb() {
    for t in smbd smbpasswd smbnetfs fusermount; do
        command -v "$t" >/dev/null 2>&1 || skip "$t is not installed"
    done
    [ -e /dev/fuse ] || skip "no /dev/fuse"
    id msguser >/dev/null 2>&1 || useradd -M -s /usr/sbin/nologin msguser 2>/dev/null ||
        skip "cannot create the share's user"
    local R=$T/smb port d=$T
    port=$(free_port)
    # The server runs as the share's user: it must reach the share.
    while [ "$d" != / ]; do
        chmod o+x "$d" 2>/dev/null
        d=$(dirname "$d")
    done
    mkdir -p "$R"/srv/{private,lock,state,cache,pid,log,ncalrpc} "$R/share"
    chown msguser: "$R/share"
    cat >"$R/smb.conf" <<CONF
[global]
  server role = standalone server
  interfaces = lo
  bind interfaces only = yes
  smb ports = $port
  disable netbios = yes
  server min protocol = SMB2_10
  private dir = $R/srv/private
  lock directory = $R/srv/lock
  state directory = $R/srv/state
  cache directory = $R/srv/cache
  pid directory = $R/srv/pid
  ncalrpc dir = $R/srv/ncalrpc
  log file = $R/srv/log/smbd.log
  passdb backend = tdbsam:$R/srv/private/passdb.tdb
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  map to guest = never
[messages]
  path = $R/share
  read only = no
  valid users = msguser
  force user = msguser
  create mask = 0664
CONF
    printf 'Secret123\nSecret123\n' | smbpasswd -c "$R/smb.conf" -a -s msguser >/dev/null 2>&1 ||
        skip "smbpasswd failed"
    setsid smbd -s "$R/smb.conf" --foreground --no-process-group >"$R/srv/log/smbd.out" 2>&1 &
    echo $! >"$R/smbd.pid"
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
    kill -0 "$(cat "$R/smbd.pid")" 2>/dev/null || skip "smbd did not start: $(tail -2 "$R/srv/log/smbd.out")"
    for c in A B; do
        mkdir -p "$R/c$c/.smb" "$R/m$c"
        chmod 700 "$R/c$c/.smb"
        printf '[global]\n  client min protocol = SMB2\n' >"$R/c$c/.smb/smb.conf"
        printf 'smb_query_browsers "false"\nauth "msguser" "Secret123"\n' >"$R/c$c/.smb/smbnetfs.conf"
        chmod 600 "$R/c$c/.smb/"*
        HOME=$R/c$c setsid smbnetfs -f -o attr_timeout=0,entry_timeout=0 "$R/m$c" >"$R/c$c/log" 2>&1 &
        echo $! >"$R/c$c/pid"
        wait_mounted "$R/m$c" "$R/m$c/127.0.0.1:$port/messages" ||
            skip "smbnetfs could not mount: $(tail -2 "$R/c$c/log")"
    done
    echo "$R/share/"
    echo "$R/mA/127.0.0.1:$port/messages/"
    echo "$R/mB/127.0.0.1:$port/messages/"
}

stop_all() {
    for m in "$T/wsA" "$T/wsB" "$T/smb/mA" "$T/smb/mB"; do
        mountpoint -q "$m" 2>/dev/null && fusermount -u -z "$m"
    done
    for p in "$T/sshd.pid" "$T/smb/smbd.pid" "$T/smb/cA/pid" "$T/smb/cB/pid"; do
        [ -f "$p" ] && kill "$(cat "$p")" 2>/dev/null
    done
    return 0
}

case $kind in
sshfs) start_sshfs ;;
smb) start_smb ;;
stop) stop_all ;;
*) echo "usage: $0 sshfs|smb|stop DIR" >&2; exit 2 ;;
esac
