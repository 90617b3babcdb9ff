# Sourced by scripts/test and scripts/demo: start_xvfb starts an X server of
# our own when there is no display, exports DISPLAY, and sets xvfb_pid (empty
# when a display was already there) for the caller to stop it by.
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
