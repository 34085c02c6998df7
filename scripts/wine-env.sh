# Wine and Xvfb helpers for running the Windows build; source it, after
# scripts/common.sh:
#   wine_env          exports the Wine settings and this tree's own prefix,
#                     and bounds the address space (wine_address_limit)
#   wine_prefix       creates and configures that prefix once (cached), and
#                     keeps its wineserver running until our EXIT trap
#   wine_fresh_prefix DIR
#                     the same in a new prefix DIR, for a run that must not
#                     meet anything an earlier run left behind
#   start_xvfb        starts a private Xvfb and exports DISPLAY
# Everything started here is ended from the EXIT trap of the shell that
# started it, and only that: our Xvfb by its PID, our prefix's wineserver.

wine_env() {
    export WINEPREFIX="$LUMIRUN_BUILD/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG="${WINEDEBUG:--all}"
    # No Mono or Gecko installer prompts, no menu entries on the host.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    wine_address_limit
    if [ "${LUMIRUN_WINESERVER_OWNER:-}" != "$BASHPID" ]; then
        LUMIRUN_WINESERVER_OWNER=$BASHPID
        at_exit wine_stop
    fi
}

# Wine keeps a byte of page protection for every 4 KiB it is asked to
# reserve: a failing request for terabytes (an unobtainable raster) costs
# gigabytes of real memory and half a minute before it fails, or draws the
# OOM killer. Windows refuses such a request at once against its commit
# limit; a 64 GiB address-space limit makes Wine refuse it at once too. It
# must be the hard limit (Wine raises its soft limits) and so stays for the
# rest of this shell: call it in a script or subshell.
wine_address_limit() {
    local limit=$((64 * 1024 * 1024)) hard
    hard=$(ulimit -H -v)
    if [ "$hard" = unlimited ] || [ "$hard" -gt "$limit" ]; then
        ulimit -v "$limit"
    fi
}

# Settings every run relies on: a crashing program must end at once instead
# of waiting behind Wine's crash dialog, and windows live on a virtual
# desktop, since Xvfb has no window manager.
lumirun_wine_registry() {
    cat <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
}

wine_prefix() {
    wine_env
    local want have=""
    want=$(lumirun_wine_registry | cksum | cut -d' ' -f1)
    [ -f "$WINEPREFIX/.lumirun-ready" ] && have=$(cat "$WINEPREFIX/.lumirun-ready")
    if [ "$have" != "$want" ]; then
        wine_create_prefix "$want"
    fi
    wine_keep_server
}

wine_fresh_prefix() {
    wine_env
    export WINEPREFIX=$1
    wine_create_prefix fresh
    wine_keep_server
}

# A wineserver that ends after its last client can be shutting down just as
# the next program connects, which then fails with "recvmsg: Connection reset
# by peer". One persistent server for the whole run closes that gap; wine_stop
# ends it. Wine's own background processes (services and devices) live as
# long as the server: they are started here, away from any test's output
# pipe, which they would otherwise hold open until the run ends.
wine_keep_server() {
    timeout 30 wineserver -p >/dev/null 2>&1 || true
    timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_create_prefix() {
    local want=$1
    say "Creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout 300 wineboot -i >/dev/null 2>&1 || die "wineboot -i failed in $WINEPREFIX"
    lumirun_wine_registry >"$WINEPREFIX/lumirun.reg"
    (cd "$WINEPREFIX" && timeout 120 wine regedit /S lumirun.reg) >/dev/null 2>&1 ||
        die "writing the Wine registry settings failed"
    # Let the wineserver write the registry to disk before we call it ready.
    timeout 60 wineserver -w || die "the wineserver of $WINEPREFIX did not finish"
    rm -f "$WINEPREFIX/lumirun.reg"
    printf '%s\n' "$want" >"$WINEPREFIX/.lumirun-ready"
}

# Ends the wineserver of our prefix (and so every program in it), if this
# shell set the prefix up.
wine_stop() {
    if [ "${LUMIRUN_WINESERVER_OWNER:-}" = "$BASHPID" ] && [ -d "$WINEPREFIX" ]; then
        timeout 30 wineserver -k >/dev/null 2>&1
    fi
    return 0
}

start_xvfb() {
    command -v Xvfb >/dev/null || die "Xvfb missing: run scripts/install-deps.sh"
    local fdfile pid n i
    fdfile=$(mktemp)
    # -displayfd: Xvfb picks a free display and writes its number once ready.
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$fdfile" >/dev/null 2>&1 &
    pid=$!
    # Wine's programs go before their display does.
    at_exit "wine_stop; stop_xvfb $pid"
    for ((i = 0; i < 200; i++)); do
        n=$(head -n 1 "$fdfile")
        [ -n "$n" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$fdfile"
    [ -n "$n" ] || die "Xvfb did not start within 20 s"
    export DISPLAY=":$n"
    say "Xvfb (pid $pid) on display $DISPLAY"
}

stop_xvfb() {
    local pid=$1 i
    kill "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 50; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}
