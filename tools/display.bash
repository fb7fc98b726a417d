# start_display: starts a virtual X server on the first free display from :91 on, exports
# DISPLAY and leaves its process id in xvfb_pid (the caller ends it); returns 1 when none
# could be started. Sourced by tools/run and tools/test.
start_display() {
  local display
  for display in $(seq 91 120); do
    [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] && continue
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$display"; return 0; fi
    xvfb_pid=""
  done
  return 1
}
