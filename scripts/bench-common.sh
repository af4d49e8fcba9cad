# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the benchmarks: runs timed by their median, the floor an export is set against, the ratios
# printed, and the window's start-up under Xvfb. The sourcing script sets $work (and $mailbox for the
# floor) first. BENCH_RUNS (default 5)
# is how many times each command runs: this machine's timings vary by a fifth or more between runs.
# KALENDRO_EXPORT=PATH measures another build of kalendro-export (an earlier commit's, say) in its place.

runs=${BENCH_RUNS:-5}
timing='%U s user, %S s system, %M KiB peak resident'

# measure NAME LABEL OUTPUT COMMAND...: runs the command $runs times, standard output to OUTPUT and
# standard error to $work/NAME.stderr, and prints the run of median elapsed time, whose seconds it
# keeps in $work/NAME.elapsed and its other figures in $work/NAME.time. A command may fail (a
# load-only run fails on purpose): whoever needs its output checks that.
measure() {
  local name=$1 label=$2 output=$3 run started finished median
  shift 3
  : >"$work/$name.runs"
  for ((run = 1; run <= runs; run++)); do
    started=$(date +%s%N)
    /usr/bin/time -f "$timing" -o "$work/$name.time.$run" "$@" >"$output" 2>"$work/$name.stderr" || true
    finished=$(date +%s%N)
    echo "$((finished - started)) $run" >>"$work/$name.runs"
  done
  median=$(sort -n "$work/$name.runs" | sed -n "$(((runs + 1) / 2))p")
  awk -v ns="${median% *}" 'BEGIN { printf "%.3f", ns / 1e9 }' >"$work/$name.elapsed"
  grep -v 'exited with' "$work/$name.time.${median#* }" >"$work/$name.time"
  rm -f "$work/$name.time."*
  echo "$label: $(cat "$work/$name.elapsed") s elapsed, $(cat "$work/$name.time") (median of $runs)"
}

# measure_floor OUTPUT_BYTES: what the machine needs for the same bytes, reading the mailbox once and
# writing a file of the output's size.
measure_floor() {
  echo "== floor: read the mailbox, write the output's size"
  measure read "read mailbox" /dev/null cat "$mailbox"
  measure write "write output" /dev/null dd if=/dev/zero of="$work/floor.bin" bs=1M \
    count="$((($1 + 1048575) / 1048576))" status=none
  rm -f "$work/floor.bin"
}

# The export and the load alone against the floor, and the export's peak memory against the mailbox.
print_ratios() {
  awk -v export="$(cat "$work/export.elapsed")" -v load="$(cat "$work/load.elapsed")" \
      -v read="$(cat "$work/read.elapsed")" -v write="$(cat "$work/write.elapsed")" \
      -v peak="$(sed -n 's/.* \([0-9]*\) KiB peak.*/\1/p' "$work/export.time")" -v mailbox="$(stat -c %s "$mailbox")" 'BEGIN {
    floor = read + write
    printf "== export / floor: %.1fx (floor %.3f s); loading the mailbox alone: %.1fx, %.0f%% of the export\n",
           export / floor, floor, load / floor, 100 * load / export
    printf "== peak memory / mailbox size: %.2fx\n", peak * 1024 / mailbox }'
}

# start_xvfb: a virtual display for the window benchmarks, stopped when the script ends.
start_xvfb() {
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
}

# window_start_up KALENDRO STORE: milliseconds from starting kalendro on the store until its window is
# shown; nothing when it ended first (the display now and then refuses a connection right after the
# last window closed).
window_start_up() {
  local started pid
  started=$(date +%s%N)
  DISPLAY=$display "$1" --store "$2" >/dev/null 2>&1 &
  pid=$!
  until DISPLAY=$display xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.01
  done
  echo $((($(date +%s%N) - started) / 1000000))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# best MEASURE ARGUMENTS...: the least of five runs of the measure that gave a figure, out of at most
# twenty.
best() {
  local runs=() run attempts=0
  while ((${#runs[@]} < 5)); do
    if ((++attempts > 20)); then
      echo "no figure in most runs of $*" >&2
      exit 1
    fi
    run=$("$@")
    if [ -n "$run" ]; then
      runs+=("$run")
    fi
  done
  printf '%s\n' "${runs[@]}" | sort -n | head -n 1
}
