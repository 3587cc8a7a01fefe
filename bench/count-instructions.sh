#!/usr/bin/env bash
# Instructions of a full check (process start included) of the largest generated files, as
# counted by valgrind's callgrind: unlike wall times they repeat to the instruction on a
# shared, loaded machine, so they tell whether a change made the work smaller.
#   bench/count-instructions.sh BUILD_DIR [OTHER_BUILD_DIR]
# With two build folders the counts are printed side by side with the change in percent.
# The files are those of run-bench.sh (seed 11, 32,767 records, each kind and layout);
# CALLGRIND_OUT=DIR keeps the profiles for callgrind_annotate.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=()
for dir in "$@"; do
  builds+=("$(cd "$dir" && pwd)")
done
[ ${#builds[@]} -ge 1 ] || builds=("$root/build")
gen="${builds[0]}/verdalia-gen"
db="${builds[0]}/Base/verdalia7.db"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=${CALLGRIND_OUT:-$work}
mkdir -p "$out"

count() { # build_dir file tag; a file with findings ends the check with status 1
  { valgrind --tool=callgrind --callgrind-out-file="$out/$3.callgrind" \
      "$1/verdalia-cli" check --db "$db" "$2" 2>&1 >/dev/null || true; } |
    awk '/Collected/ {print $4}'
}

printf '%-4s %-9s' kind layout
for b in "${builds[@]}"; do printf ' %14s' "$(basename "$b")"; done
[ ${#builds[@]} -eq 2 ] && printf ' %8s' change
printf '\n'
for kind in P D S; do
  for layout in valid distinct shared faulty; do
    file="$work/$kind-$layout/${kind}202401.txt"
    mkdir -p "$(dirname "$file")"
    case $layout in
      faulty) "$gen" --db "$db" --kind "$kind" --records 32767 --seed 11 --logical-faults 0.01 -o "$file" ;;
      *) "$gen" --db "$db" --kind "$kind" --records 32767 --seed 11 --layout "$layout" -o "$file" ;;
    esac
    printf '%-4s %-9s' "$kind" "$layout"
    counts=()
    for i in "${!builds[@]}"; do
      counts+=("$(count "${builds[$i]}" "$file" "$kind-$layout-$i")")
      printf ' %14s' "${counts[$i]}"
    done
    if [ ${#builds[@]} -eq 2 ]; then
      awk -v a="${counts[0]}" -v b="${counts[1]}" 'BEGIN {printf " %+7.1f%%", 100 * (b - a) / a}'
    fi
    printf '\n'
  done
done
