#!/usr/bin/env bash
# Days of play in one sitting: the window program plays the whole show again
# and again in one process under a virtual X server, and the page plays it
# again and again through its "Play again" button in headless Chromium. After
# each show it writes the process's resident memory (VmRSS), open files and
# threads, and at the end the growth from the first show to the last.
#
#   bench/soak.sh [--shows N] [--toggles N] [--page-shows N] [--page-ms-per-tick MS]
#                 [--only window|page] [--build DIR] [--web-build DIR] [--out DIR]
#
# The window program: one Alt+Enter starts each show again from its first
# step (the display is made anew and the show with it), so a show cannot be
# both played whole and switched every 20 s. Each show therefore begins with
# --toggles Alt+Enters two seconds apart (14 by default: one for each 20 s of
# the 280 s show, the last of them starting the show), then plays to the
# finale, where random operator keys are pressed (none that quit, switch the
# display, jump back or speed the clock), and the next show's Alt+Enters come
# a few seconds before the finale would close the program. The figures are
# taken in the finale, before those Alt+Enters. After the last show Esc ends
# the program, which must exit with status 0. Silent music: SDL's dummy sound
# device keeps the music's clock.
#
# The page: the virtual clock (--page-ms-per-tick, 500 ms a tick by default:
# 540 ticks a show, each scene still built once; the page goes as fast as
# it can), the whole show to its close, then "Play again"; the figures are
# those of the page's renderer process and of Chromium's GPU process
# (SwiftShader), and the page's WebAssembly memory and JavaScript heap.
#
# Needs: make build (the window part: Xvfb and xdotool, which make deps
# installs); make web and make web-test-deps (the page part). Defaults: 10
# shows each, output in a new folder under /tmp (the window's figures in
# window.tsv, the page's in page.tsv, a line every 20 s in window-trail.tsv).
# About 50 minutes for the window's 10 shows; the page's depend on the
# machine (SwiftShader draws each tick on the processor).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
shows=10
toggles=14
page_shows=10
page_ms=500
only=""
build="$here/build"
web_build="$here/build-web"
out=""
# The show's own times, in seconds of music from its start (the finale
# begins at about 257 s and closes the program at about 269 s).
finale_at=258
keys_until=262
restart_at=263.5

while [ $# -gt 0 ]; do
  case "$1" in
    --shows) shows=$2; shift 2 ;;
    --toggles) toggles=$2; shift 2 ;;
    --page-shows) page_shows=$2; shift 2 ;;
    --page-ms-per-tick) page_ms=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --web-build) web_build=$(cd "$2" && pwd); shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) sed -n '2,35p' "$0"; exit 0 ;;
    *) echo "soak.sh: unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
done
case "$shows$toggles$page_shows" in
  *[!0-9]*) echo "soak.sh: --shows, --toggles and --page-shows want whole numbers" >&2; exit 2 ;;
esac
if [ "$shows" -lt 2 ] || [ "$page_shows" -lt 2 ] || [ "$toggles" -lt 1 ]; then
  echo "soak.sh: at least 2 shows (the growth is measured from the first) and 1 Alt+Enter a show" >&2
  exit 2
fi
[ -n "$out" ] || out=$(mktemp -d /tmp/quarvel-soak-XXXXXX)
mkdir -p "$out"

xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Resident memory in kB, open files and threads of process $1.
figures() {
  local rss fds threads
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$1/status")
  fds=$(ls "/proc/$1/fd" | wc -l)
  threads=$(ls "/proc/$1/task" | wc -l)
  printf '%s\t%s\t%s' "$rss" "$fds" "$threads"
}

# The growth from the first show's line to the last's of a figures table
# (show, rss_kb, fds, threads, ...).
growth() {
  awk -F'\t' -v what="$2" 'NR == 2 { r = $2; f = $3; t = $4 } NR > 1 { lr = $2; lf = $3; lt = $4; n = $1 }
    END { printf "%s: after show 1 %.1f MB, %d open files, %d threads; after show %d %.1f MB, %d, %d: memory %+.1f MB over the %d others, open files %+d, threads %+d\n",
          what, r / 1024, f, t, n, lr / 1024, lf, lt, (lr - r) / 1024, n - 1, lf - f, lt - t }' "$1"
}

soak_window() {
  local show_dir="$build/show"
  if [ ! -x "$show_dir/quarvel" ] || [ ! -f "$show_dir/sik_test.mp3" ]; then
    echo "soak.sh: no show in $show_dir (make build)" >&2
    return 1
  fi
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "soak.sh: $tool is missing (make deps installs it)" >&2; return 1; }
  done
  # A virtual X server on a free display number well above those people
  # and other tools take first.
  local number=$((200 + RANDOM % 300))
  while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
  local display=":$number"
  echo "$number" >"$out/display"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset 2>"$out/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.2; done

  (cd "$show_dir" && DISPLAY=$display SDL_AUDIODRIVER=dummy exec ./quarvel) >"$out/quarvel.out" 2>"$out/quarvel.err" &
  program_pid=$!
  local x="env DISPLAY=$display xdotool"
  window() { $x search --onlyvisible --name '^Quarvel Team$' 2>/dev/null | head -n1; }
  key() {
    local w
    w=$(window)
    [ -n "$w" ] || return 0
    $x windowfocus --sync "$w" 2>/dev/null || true
    $x key --clearmodifiers "$@" 2>/dev/null || true
  }
  alive() { kill -0 "$program_pid" 2>/dev/null; }
  for _ in $(seq 300); do [ -n "$(window)" ] && break; sleep 0.2; done
  [ -n "$(window)" ] || { echo "soak.sh: no window on $display" >&2; return 1; }

  # Keys of the finale's operator, none that ends the show early or jumps.
  local finale_keys=(Home End Prior Next Insert Delete KP_Add Return Tab KP_4 KP_6 KP_2 KP_8 KP_3 KP_9
                     r g b p space 1 2 3 l c f BackSpace+Home BackSpace+Prior BackSpace+r)
  printf 'show\trss_kb\tfds\tthreads\n' >"$out/window.tsv"
  printf 'seconds\tshow\trss_kb\tfds\tthreads\n' >"$out/window-trail.tsv"
  local started=$SECONDS next_trail=0
  trail() {
    if [ $((SECONDS - started)) -ge "$next_trail" ]; then
      printf '%s\t%s\t%s\n' "$((SECONDS - started))" "$1" "$(figures "$program_pid")" >>"$out/window-trail.tsv"
      next_trail=$((next_trail + 20))
    fi
  }
  for show in $(seq "$shows"); do
    # The Alt+Enters; the last one starts this show.
    for t in $(seq "$toggles"); do
      alive || break
      key alt+Return
      [ "$t" -lt "$toggles" ] && sleep 2
    done
    local show_start
    show_start=$(date +%s.%N)
    since() { awk -v s="$show_start" -v n="$(date +%s.%N)" 'BEGIN { print n - s }'; }
    until awk -v a="$(since)" -v b="$finale_at" 'BEGIN { exit !(a >= b) }'; do
      alive || break
      trail "$show"
      sleep 1
    done
    # The finale: a random operator key every half second.
    until awk -v a="$(since)" -v b="$keys_until" 'BEGIN { exit !(a >= b) }'; do
      alive || break
      key "${finale_keys[RANDOM % ${#finale_keys[@]}]}"
      sleep 0.5
    done
    if ! alive; then
      echo "soak.sh: the window program ended during show $show (see $out/quarvel.err$(kill -0 "$xvfb_pid" 2>/dev/null || echo '; the X server had ended too'))" >&2
      return 1
    fi
    printf '%s\t%s\n' "$show" "$(figures "$program_pid")" | tee -a "$out/window.tsv"
    until awk -v a="$(since)" -v b="$restart_at" 'BEGIN { exit !(a >= b) }'; do sleep 0.2; done
  done
  key Escape
  local status=0
  wait "$program_pid" || status=$?
  program_pid=""
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  echo "window program: exit status $status after $shows shows ($((SECONDS - started)) s)"
  growth "$out/window.tsv" "window program"
}

soak_page() {
  if [ ! -f "$web_build/index.html" ]; then
    echo "soak.sh: no web build in $web_build (make web)" >&2
    return 1
  fi
  if [ ! -d "$here/tests/web/node_modules/playwright-core" ]; then
    echo "soak.sh: the browser harness is not installed (make web-test-deps)" >&2
    return 1
  fi
  (cd "$here/tests/web" && QUARVEL_BUILD="$build" QUARVEL_WEB_DIR="$web_build" node soak.mjs --shows "$page_shows" --ms-per-tick "$page_ms") \
    | tee "$out/page.tsv"
  growth <(grep -v '^#' "$out/page.tsv") "page (renderer process)"
}

echo "soak.sh: figures in $out"
[ "$only" = page ] || soak_window
[ "$only" = window ] || soak_page
