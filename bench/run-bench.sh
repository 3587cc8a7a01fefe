#!/usr/bin/env bash
# Times full checks of generated files against the floor of reading them (wc -l).
#   bench/run-bench.sh BUILD_DIR
# Two reference databases: the shipped one, and a wide layout built here from its SQL and
# bench/wide-layout.sql (lines of 420 to 460 characters, a field every two or three columns).
# For each database, kind and size it generates files with verdalia-gen in several layouts
# and measures, in one run, side by side: verdalia-cli check (physical and logical), the
# physical run alone, and wc -l on the same file; the median wall time of several runs
# after a warm-up, the ratio to wc -l, and the peak memory of the full check. It prints a
# table and the targets beside what was measured, and writes the table as CSV to
# bench/results/.
#   BENCH_RUNS (9), BENCH_SIZES ("1000 8000 32767"), BENCH_DATABASES ("shipped wide")
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${BENCH_RUNS:-9}
sizes=${BENCH_SIZES:-"1000 8000 32767"}
databases=${BENCH_DATABASES:-"shipped wide"}
cli="$build_dir/verdalia-cli"
gen="$build_dir/verdalia-gen"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/bench/results"
stamp=$(date -u +%Y%m%d-%H%M%S)
csv="$root/bench/results/bench-$stamp.csv"

database_path() {
  case $1 in
    shipped) echo "$build_dir/Base/verdalia7.db" ;;
    wide) echo "$work/wide.db" ;;
  esac
}
"$build_dir/verdalia-mkdb" "$work/wide.db" "$root/data/Base/verdalia7.sql" "$root/bench/wide-layout.sql"

now_ns() { date +%s%N; }

# Wall time in microseconds of one run of a command.
elapsed_us() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>&1 || true
  end=$(now_ns)
  echo $(( (end - start) / 1000 ))
}

# The median of microsecond times, in milliseconds.
median_ms() {
  printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'
}

# Median wall time in milliseconds of a command run $runs times after one warm-up.
timed_ms() {
  "$@" >/dev/null 2>&1 || true
  local times=()
  for _ in $(seq "$runs"); do
    times+=("$(elapsed_us "$@")")
  done
  median_ms "${times[@]}"
}

# The full check, the physical run alone and wc -l of a file, each warmed up once and then
# run in turn $runs times, so that a change in the machine's load falls on all three alike;
# their medians go to check_ms, physical_ms and wc_ms.
measure_file() {
  local db=$1 file=$2 check=() physical=() wc=()
  "$cli" check --db "$db" "$file" >/dev/null 2>&1 || true
  "$cli" check --db "$db" --physical-only "$file" >/dev/null 2>&1 || true
  wc -l "$file" >/dev/null
  for _ in $(seq "$runs"); do
    check+=("$(elapsed_us "$cli" check --db "$db" "$file")")
    physical+=("$(elapsed_us "$cli" check --db "$db" --physical-only "$file")")
    wc+=("$(elapsed_us wc -l "$file")")
  done
  check_ms=$(median_ms "${check[@]}")
  physical_ms=$(median_ms "${physical[@]}")
  wc_ms=$(median_ms "${wc[@]}")
}

peak_kb() {
  { /usr/bin/time -v "$@" 2>&1 >/dev/null || true; } | awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}'
}

echo "database,kind,records,layout,bytes,check_ms,physical_ms,wc_ms,check_over_wc,peak_kb,file_kb" >"$csv"
printf '%-8s %-4s %7s %-9s %10s %11s %8s %6s %8s %8s\n' database kind records layout check_ms \
  physical_ms wc_ms ratio peak_MB file_MB
for database in $databases; do
  db=$(database_path "$database")
  for kind in P D S; do
    for records in $sizes; do
      for layout in valid distinct shared faulty; do
        name="${kind}202401.txt"
        dir="$work/$database-$kind-$records-$layout"
        mkdir -p "$dir"
        file="$dir/$name"
        case $layout in
          faulty) "$gen" --db "$db" --kind "$kind" --records "$records" --seed 11 --logical-faults 0.01 -o "$file" ;;
          *) "$gen" --db "$db" --kind "$kind" --records "$records" --seed 11 --layout "$layout" -o "$file" ;;
        esac
        # A file handed in has lain untouched for a while: one written in the last seconds is
        # read into memory rather than viewed where it lies, which is not the case measured.
        touch -d '-1 minute' "$file"
        bytes=$(stat -c %s "$file")
        measure_file "$db" "$file"
        peak=$(peak_kb "$cli" check --db "$db" "$file")
        ratio=$(awk -v a="$check_ms" -v b="$wc_ms" 'BEGIN {printf "%.1f", (b > 0 ? a / b : 0)}')
        echo "$database,$kind,$records,$layout,$bytes,$check_ms,$physical_ms,$wc_ms,$ratio,$peak,$((bytes / 1024))" >>"$csv"
        printf '%-8s %-4s %7s %-9s %10s %11s %8s %6s %8s %8s\n' "$database" "$kind" "$records" \
          "$layout" "$check_ms" "$physical_ms" "$wc_ms" "$ratio" \
          "$(awk -v k="$peak" 'BEGIN {printf "%.1f", k / 1024}')" \
          "$(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1048576}')"
      done
    done
  done
done
echo
for database in $databases; do
  db=$(database_path "$database")
  echo "$database reference database load alone: $(timed_ms "$cli" reference --db "$db") ms, peak $(peak_kb "$cli" reference --db "$db") kB"
done
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "csv: $csv"
cp "$csv" "$root/bench/results/latest.csv"

# The targets, for the files of 32,767 records: a full check in at most 5 times wc -l on
# the same file, peak memory at most the file's size plus 16 MB, and at most 4.5 times the
# time of the file of 8,000 records. Each line gives what was measured beside its target.
echo
echo "targets at 32,767 records (check/wc <= 5, peak <= file + 16 MB, growth from 8,000 <= 4.5x):"
awk -F, 'NR > 1 {
  key = $1 " " $2 " " $4
  if ($3 == 8000) small[key] = $6
  if ($3 == 32767) {
    large[key] = $6
    ratio[key] = ($8 > 0 ? $6 / $8 : 0)
    peak[key] = $10 / 1024
    limit[key] = $11 / 1024 + 16
  }
}
END {
  for (k in large) {
    growth = (small[k] > 0) ? large[k] / small[k] : 0
    ok = (ratio[k] <= 5 && peak[k] <= limit[k] && (small[k] == "" || growth <= 4.5)) ? "met" : "NOT MET"
    printf "%-20s check/wc %4.1f   peak %5.1f MB of %5.1f   growth %s   %s\n", k, ratio[k], peak[k], limit[k],
      (small[k] > 0 ? sprintf("%.2fx", growth) : "-"), ok
  }
}' "$csv" | sort
