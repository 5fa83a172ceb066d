# Shared by the screenshot scripts: a real X display with a window manager, and the
# helpers that drive the program's windows with the mouse. Source it after setting
# `work` (a scratch folder) and `pids` (an array of processes to stop at exit).

# Starts Xvfb on display $1 (":65") at geometry $2 ("1280x1024") with openbox on it and
# makes it the DISPLAY of what follows.
start_screen() {
  Xvfb "$1" -screen 0 "${2}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  export DISPLAY=$1
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
  sleep 1
}
# The first visible window whose title matches $1, waiting for it to appear.
wid() { timeout 120 xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
origin() { xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'; }
size() { xwininfo -id "$1" | awk '/^  Width:/{w=$2} /^  Height:/{h=$2} END{print w, h}'; }
click() { # window x y, the position in the window's client area
  local ox oy; read -r ox oy < <(origin "$1")
  xdotool mousemove $((ox + $2)) $((oy + $3)) click 1
}
