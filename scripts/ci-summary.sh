# Sourced by the check scripts: one line per stage of what it covered, gathered by ./run-tests into
# the table it prints at its end, so that a stage that quietly did nothing shows there.
# summary STAGE TEXT    appends to $BRIMVALE_SUMMARY when it is set; a no-op otherwise.
summary() {
  [ -n "${BRIMVALE_SUMMARY:-}" ] && printf '%-14s %s\n' "$1" "$2" >>"$BRIMVALE_SUMMARY"
  return 0
}

# show_frames STEP_MS: how many frames the show has at that step (frame i at i x STEP < 124000 ms).
show_frames() {
  awk -v step="$1" 'BEGIN { n = 124000 / step; c = int(n); if (c < n - 1e-9) c++; print c }'
}

# bench_frames JSON: the frames a --bench run drew and timed inside the show's 22 windows.
bench_frames() {
  grep -oE '"window": [0-9]+, "frames": [0-9]+' "$1" | awk '$2 + 0 >= 1 { n += $4 } END { print n + 0 }'
}
