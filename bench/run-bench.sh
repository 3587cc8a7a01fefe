#!/usr/bin/env bash
# Times full checks of generated files against the floor of reading them (wc -l).
#   bench/run-bench.sh BUILD_DIR
# For each kind and size it generates files with verdalia-gen in several layouts and
# measures, in one run, side by side: verdalia-cli check (physical and logical), the
# physical run alone, and wc -l on the same file; the median wall time of several runs
# after a warm-up, the ratio to wc -l, and the peak memory of the full check. It prints a
# table and writes it as CSV to bench/results/.
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${BENCH_RUNS:-7}
sizes=${BENCH_SIZES:-"1000 8000 32767"}
cli="$build_dir/verdalia-cli"
gen="$build_dir/verdalia-gen"
db="$build_dir/Base/verdalia7.db"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/bench/results"
stamp=$(date -u +%Y%m%d-%H%M%S)
csv="$root/bench/results/bench-$stamp.csv"

now_ns() { date +%s%N; }

# Median wall time in milliseconds of a command run $runs times after one warm-up.
median_ms() {
  "$@" >/dev/null 2>&1 || true
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(now_ns)
    "$@" >/dev/null 2>&1 || true
    end=$(now_ns)
    times+=("$(( (end - start) / 1000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'
}

peak_kb() {
  { /usr/bin/time -v "$@" 2>&1 >/dev/null || true; } | awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}'
}

load_ms=$(median_ms "$cli" reference --db "$db")
load_kb=$(peak_kb "$cli" reference --db "$db")

echo "kind,records,layout,bytes,check_ms,physical_ms,wc_ms,check_over_wc,peak_kb,file_kb" >"$csv"
printf '%-4s %7s %-9s %10s %10s %11s %8s %8s %9s\n' kind records layout check_ms physical_ms wc_ms ratio peak_MB file_MB
for kind in P D S; do
  for records in $sizes; do
    for layout in valid distinct shared faulty; do
      name="${kind}202401.txt"
      dir="$work/$kind-$records-$layout"
      mkdir -p "$dir"
      file="$dir/$name"
      case $layout in
        faulty) "$gen" --db "$db" --kind "$kind" --records "$records" --seed 11 --logical-faults 0.01 -o "$file" ;;
        *) "$gen" --db "$db" --kind "$kind" --records "$records" --seed 11 --layout "$layout" -o "$file" ;;
      esac
      bytes=$(stat -c %s "$file")
      check_ms=$(median_ms "$cli" check --db "$db" "$file")
      physical_ms=$(median_ms "$cli" check --db "$db" --physical-only "$file")
      wc_ms=$(median_ms wc -l "$file")
      peak=$(peak_kb "$cli" check --db "$db" "$file")
      ratio=$(awk -v a="$check_ms" -v b="$wc_ms" 'BEGIN {printf "%.1f", (b > 0 ? a / b : 0)}')
      echo "$kind,$records,$layout,$bytes,$check_ms,$physical_ms,$wc_ms,$ratio,$peak,$((bytes / 1024))" >>"$csv"
      printf '%-4s %7s %-9s %10s %10s %11s %8s %8s %9s\n' "$kind" "$records" "$layout" "$check_ms" \
        "$physical_ms" "$wc_ms" "$ratio" "$(awk -v k="$peak" 'BEGIN {printf "%.1f", k / 1024}')" \
        "$(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1048576}')"
    done
  done
done
echo
echo "reference database load alone: ${load_ms} ms, peak ${load_kb} kB"
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "csv: $csv"
cp "$csv" "$root/bench/results/latest.csv"

# The targets: a 32,767-record file fully checked in at most 10 times wc -l and under
# 150 ms; from 8,000 to 32,767 records at most 4.5 times the time; peak memory at most
# twice the file plus 30 MB.
awk -F, 'NR > 1 {
  key = $1 "," $3
  if ($2 == 8000) small[key] = $5
  if ($2 == 32767) {
    large[key] = $5
    ok = ($5 <= 10 * $7) ? "yes" : "no"
    fast = ($5 < 150) ? "yes" : "no"
    mem = ($9 <= 2 * $10 + 30 * 1024) ? "yes" : "no"
    line[key] = sprintf("%-4s %-9s  <=10x wc: %-3s  <150 ms: %-3s  memory: %-3s", $1, $3, ok, fast, mem)
  }
}
END {
  for (k in line) {
    growth = (small[k] > 0) ? large[k] / small[k] : 0
    printf "%s  growth 8000->32767: %.2fx %s\n", line[k], growth, (growth <= 4.5 ? "yes" : "no")
  }
}' "$csv" | sort | sed '1i targets at 32,767 records:'
