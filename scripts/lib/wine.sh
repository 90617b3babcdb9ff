# Sourced by every script that runs Wine: the environment the programs expect,
# the build's prefix made on first use, one server kept alive for a run, and
# an X server of our own where there is no display.
#
#   wine_env               exports the defaults; needs WINEPREFIX
#   wine_start             makes the prefix if need be and starts its server
#   wine_run PROGRAM ...   runs a Windows program there
#   wine_reg ARGS ...      reg.exe there
#   wine_desktop PROGRAM NAME SIZE   PROGRAM's windows open in a virtual desktop
#   wine_stop              stops the prefix's server and every Wine process in it
#   wine_without_32bit COMMAND ...   runs COMMAND where the 32-bit loader fails at once
#   x86_32_emulated        whether 32-bit programs run only through qemu-i386
#   start_xvfb / stop_xvfb
#
# UPDATE_WINE_BITS=64 marks a prefix that only ever runs 64-bit programs (the
# windows64 build's). Its programs are started with the 64-bit loader
# directly: /usr/bin/wine is the 32-bit loader, emulated where the machine
# cannot run 32-bit programs, even when it only hands a program on.

# Machines that cannot execute 32-bit Linux programs run 32-bit Wine through
# qemu-i386, which scripts/setup registers there: each Windows process then
# takes about a minute to start.
x86_32_emulated() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}

wine_env() {
  : "${WINEPREFIX:?must name the Wine prefix of the build}"
  export WINEPREFIX WINEARCH=win64
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
  # Code page 936 for Wine's processes only: bash itself would warn that the
  # locale is not generated, which Wine does not need for the code page.
  wine_locale="${UPDATE_WINE_LOCALE:-zh_CN.UTF-8}"
  if [ "${UPDATE_WINE_BITS:-32}" = 64 ]; then
    wine_loader=/usr/lib/wine/wine64
  else
    wine_loader=wine
  fi
}

wine_run() { env LC_ALL="$wine_locale" "$wine_loader" "$@"; }

# reg.exe is always started by the 64-bit loader: it starts at once even
# where x86-32 is emulated. It runs under the same locale as every program:
# Wine writes its own font links over ours whenever a process comes with
# another code page, and Tahoma would lose its CJK link.
wine_reg() { env LC_ALL="$wine_locale" /usr/lib/wine/wine64 reg "$@"; }

# PROGRAM (its file name, e2e_driver.exe say) and every program it starts
# open their windows in the virtual desktop NAME of SIZE (1024x768), where
# Wine draws the frames itself and programs see each other's windows. Set
# through the registry rather than with "explorer /desktop=", because a
# 64-bit explorer cannot start a 32-bit program where x86-32 is emulated
# (the child dies setting up its address space).
# A failed attempt is reported and tried once more.
wine_desktop() {
  local out attempt
  for attempt in 1 2; do
    out=$(wine_reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "$2" /t REG_SZ /d "$3" /f 2>&1 &&
      wine_reg add "HKCU\\Software\\Wine\\AppDefaults\\$1\\Explorer" /v Desktop /t REG_SZ /d "$2" /f 2>&1) &&
      return 0
    echo "wine.sh: attempt $attempt to set the virtual desktop $2 for $1 failed: $out" >&2
    sleep 1
  done
  return 1
}

# wineboot of a new prefix runs two 32-bit set-up steps (the WoW64 part of
# wine.inf and a 32-bit registration), each a minute where x86-32 is
# emulated. A 64-bit-only prefix needs neither, so there they are made to
# fail at once: wineboot runs in a private mount namespace in which the
# 32-bit loader is /bin/false. Where no namespace may be made (not root),
# the command runs as it is and they run.
wine_without_32bit() {
  if unshare -m sh -c 'mount --bind /bin/false /usr/lib/wine/wine' 2>/dev/null; then
    unshare -m sh -c 'mount --bind /bin/false /usr/lib/wine/wine && exec "$@"' sh "$@"
  else
    "$@"
  fi
}
wine_boot() {
  if [ "${UPDATE_WINE_BITS:-32}" = 64 ]; then
    wine_without_32bit sh -c 'LC_ALL="$1" /usr/lib/wine/wine64 wineboot -i && wineserver -w' sh "$wine_locale"
  else
    LC_ALL="$wine_locale" "$wine_loader" wineboot -i
  fi
}

# A new prefix is made to look like the systems the program is for:
# - Tahoma, which Debian's Wine does not find by itself (package fonts-wine):
#   without it every face falls back to another and the window's font is
#   wrong; and Marlett, which draws the caption buttons;
# - Tahoma linked to a CJK font for the characters it lacks, as Chinese
#   Windows links it to SimSun; WenQuanYi Micro Hei stands in for SimSun;
# - no crash dialog waiting for a click that never comes.
wine_make_prefix() {
  [ ! -f "$WINEPREFIX/system.reg" ] || return 0
  mkdir -p "$WINEPREFIX"
  wine_boot >/dev/null 2>&1
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font
  for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    cp "/usr/share/wine/fonts/$font" "$fonts/" || { echo "wine.sh: no $font (package fonts-wine)" >&2; return 1; }
  done
  wine_reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma /t REG_MULTI_SZ \
      /d 'wqy-microhei.ttc,WenQuanYi Micro Hei\0SIMSUN.TTC,SimSun' /f >/dev/null 2>&1
  # The server these started keeps the default persistence of 3 s, and
  # "wineserver -p60" cannot change a server that already runs (it exits
  # with 2): a program started a moment after the last one ends could meet
  # it shutting down and fail at once. Waiting for it to go lets wine_start
  # start the persistent one.
  wineserver -w
}

# The server and Wine's own system processes are started detached from our
# output: they inherit the stdio of the first Wine process, and a caller
# reading that through a pipe (ctest) would wait for them to go, a minute
# after the last program ends. The server outlives each program, so the next
# starts fast; it exits a minute after the last one.
wine_start() {
  wine_make_prefix || return 1
  wineserver -p60 >/dev/null 2>&1 || true  # exits 2 when a server already runs
  env LC_ALL="$wine_locale" /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop() { wineserver -k 2>/dev/null || true; }

# start_xvfb starts an X server of our own when there is no display, exports
# DISPLAY, and sets xvfb_pid (empty when a display was already there);
# stop_xvfb stops the one it started.
xvfb_pid=""
start_xvfb() {
  [ -z "${DISPLAY:-}" ] || return 0
  local display_file
  display_file=$(mktemp)
  # Xvfb picks a free display itself and writes its number to fd 3.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  if [ ! -s "$display_file" ]; then
    rm -f "$display_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
  rm -f "$display_file"
}
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=""
}
