#!/usr/bin/env bash
# Time to a PNG of the same text log, side by side: gnuplot (png terminal) and
# `km302-plot --export`. Prints each time and the ratio; passes or fails on
# nothing but a missing tool or a failed run.
#
#   bench/plotvsgnuplot.sh [LOG.csv]
#
# Without an argument it makes a year of one-second records (31,536,000) with
# the log generator km302-loggen of the build (or $KM302_PLOT_GEN), kept in
# build/bench-data between runs. With no generator built and no file given it
# says so and stops (status 0).
# KM302_PLOT_RUNS sets the runs of each program (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${KM302_PLOT_RUNS:-3}

find_program() {
  find "$root/build/bench" "$root/build/normal" -maxdepth 3 -type f -perm -u+x -name "$1" -print -quit 2>/dev/null || true
}

plot=$(find_program km302-plot)
if [ -z "$plot" ]; then
  echo "km302-plot is not built (build/bench or build/normal); nothing to compare" >&2
  exit 1
fi
command -v gnuplot >/dev/null || { echo "gnuplot is not installed (gnuplot-nox)" >&2; exit 1; }

log=${1:-}
if [ -z "$log" ]; then
  gen=${KM302_PLOT_GEN:-$(find_program 'km302*gen*')}
  if [ -z "$gen" ]; then
    echo "no log generator is built and no log was given: skipping the gnuplot comparison"
    exit 0
  fi
  log="$root/build/bench-data/year.csv"
  if [ ! -s "$log" ]; then
    mkdir -p "$(dirname "$log")"
    echo "making a year of one-second records with $(basename "$gen") (once; kept in $log)"
    "$gen" --records 31536000 --csv "$log"
  fi
fi
[ -s "$log" ] || { echo "no such log: $log" >&2; exit 1; }

# The log's separator is the character after "Data i Godzina" in its header.
sep=$(grep -a -m1 -o 'Data i Godzina.' "$log" | tail -c 2 | head -c 1)
[ -n "$sep" ] || sep=$'\t'
out=$(mktemp -d /tmp/km302-plotbench.XXXXXX)
trap 'rm -rf "$out"' EXIT
cat >"$out/plot.gp" <<GP
set terminal png size 1200,600
set output '$out/gnuplot.png'
set datafile separator "$sep"
set xdata time
set timefmt '%Y.%m.%d %H:%M:%S'
set format x '%Y-%m-%d'
plot '$log' using 1:2 with lines notitle
GP

records=$(grep -a -c -E '^[0-9]{4}\.' "$log")
echo "log: $log, $(du -h "$log" | cut -f1), $records records; $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
cat "$log" >/dev/null   # both programs start with the file in the page cache

if command -v hyperfine >/dev/null; then
  hyperfine --runs "$runs" --export-json "$out/times.json" \
    -n gnuplot "gnuplot '$out/plot.gp'" \
    -n km302-plot "'$plot' --export '$out/km302-plot.png' --size 1200x600 '$log'"
  read -r tg tk < <(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"]; print(r[0]["median"], r[1]["median"])' "$out/times.json")
else
  # The median of `runs` wall-clock times, with the peak resident memory of the last run.
  measure() {
    local name=$1; shift
    local times=() t rss
    for _ in $(seq "$runs"); do
      /usr/bin/time -f '%e %M' -o "$out/time" "$@" >/dev/null 2>"$out/$name.err" || {
        echo "$name failed:" >&2; cat "$out/$name.err" >&2; exit 1; }
      read -r t rss <"$out/time"
      times+=("$t")
    done
    t=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    echo "$name: median $t s of $runs runs (${times[*]}), peak resident $((rss / 1024)) MiB" >&2
    echo "$t"
  }
  tg=$(measure gnuplot gnuplot "$out/plot.gp")
  tk=$(measure km302-plot "$plot" --export "$out/km302-plot.png" --size 1200x600 "$log")
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v g="$tg" -v k="$tk" 'BEGIN { printf "time to a PNG: gnuplot %.2f s, km302-plot %.2f s: km302-plot is %.1f x faster\n", g, k, (k > 0 ? g / k : 0) }'
