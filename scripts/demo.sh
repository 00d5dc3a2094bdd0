# Shared by run.sh --demo and tools/screenshot.sh: the loopback servers a demo runs against,
# all in one throwaway folder and all stopped on exit. Sourced after common.sh, not run.
#   scoutly_demo_peers    starts ngircd (when installed) with chat bots, and a lab master
#                         with 300 game servers, a message-of-the-day server and a web
#                         server for banners and the ticker; exports $master, $motd
#                         (HOST:PORT), $web (base address) and, with chat, $ircport.

demo_tmp=$(mktemp -d)
demo_pids=()
demo_cleanup() {
    for pid in "${demo_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$demo_tmp"
}
trap demo_cleanup EXIT

demo_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
        2>/dev/null && return
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
    done
}

# ngircd in DIR on a free loopback port, configured like the tests' one (no PAM, ident, DNS,
# penalties or per-address caps); sets ircport. Fails when it is missing or does not listen.
demo_start_ngircd() {
    local dir=$1 bin
    bin=$(PATH=$PATH:/usr/sbin:/sbin command -v ngircd) || return 1
    ircport=$(demo_free_port)
    mkdir -p "$dir/pid" "$dir/conf.d"
    cat >"$dir/ngircd.conf" <<CONF
[Global]
Name = irc.test.local
Info = test ircd
Listen = 127.0.0.1
Ports = $ircport
MotdPhrase = hello
AdminInfo1 = test
AdminInfo2 = test
AdminEMail = root@localhost
PidFile = $dir/pid/ngircd.pid
[Limits]
MaxConnectionsIP = 0
MaxNickLength = 30
MaxPenaltyTime = 0
[Options]
DNS = no
Ident = no
PAM = no
IncludeDir = $dir/conf.d
RequireAuthPing = no
CONF
    # Started as root, ngircd becomes nobody before it writes its pid file.
    if [ "$(id -u)" -eq 0 ]; then chown nobody:nogroup "$dir/pid"; fi
    chmod o+rx "$(dirname "$dir")" "$dir"
    "$bin" -n -f "$dir/ngircd.conf" >"$dir/log" 2>&1 &
    demo_pids+=($!)
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$ircport") 2>/dev/null && return 0
        kill -0 "${demo_pids[-1]}" 2>/dev/null || break
        sleep 0.05
    done
    cat "$dir/log" >&2
    return 1
}

scoutly_demo_peers() {
    local labchat=() out=$demo_tmp/lab.out
    ircport=
    # The chat tab's server, with Scout (greets, answers !help and !servers) and four talkers.
    if demo_start_ngircd "$demo_tmp/irc"; then
        labchat=(--chat-server "127.0.0.1:$ircport" --chat-bots 5)
    else
        echo "No IRC server (install ngircd for one): the demo runs without chat." >&2
    fi
    # A lab master listing 300 game servers (varied names, maps, players and pings, a few
    # silent), the News page's server (its reply also makes the banners turn every 30 s) and
    # the banners' and ticker's web server.
    "$SCOUTLY_BUILD/bin/scoutly-lab" --master-port 0 --servers 300 --silent 6 --split 30 \
        --delay-ms 400 --motd-port 0 --motd-header bannerinterval=30000 --http-port 0 \
        "${labchat[@]}" >"$out" &
    demo_pids+=($!)
    for _ in $(seq 200); do grep -q '^ready$' "$out" && break; sleep 0.05; done
    grep -q '^ready$' "$out" || { echo "scoutly-lab did not start" >&2; return 1; }
    master=$(awk '$1 == "master" { print $2 }' "$out")
    motd=$(awk '$1 == "motd" { print $2 }' "$out")
    web="http://$(awk '$1 == "http" { print $2 }' "$out")/"
    export master motd web ircport
}
