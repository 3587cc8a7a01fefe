#!/usr/bin/env bash
# Rewrites the sample files in samples/ with verdalia-gen and the shipped reference database.
# Per kind: 01 passes both verifications, 02 has typical mistakes the physical verification
# finds, 03 passes the physical verification and fails the logical one.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/../.."
gen=("$build_dir/verdalia-gen" --db "$build_dir/Base/verdalia7.db")
"${gen[@]}" --records 20 --seed 30 -o samples/P202401.txt
"${gen[@]}" --records 18 --seed 20 --physical-faults 0.4 -o samples/P202402.txt
"${gen[@]}" --records 24 --seed 3 --logical-faults 0.7 -o samples/P202403.txt
"${gen[@]}" --records 15 --seed 1 -o samples/D202401.txt
"${gen[@]}" --records 18 --seed 32 --physical-faults 0.4 -o samples/D202402.txt
"${gen[@]}" --records 24 --seed 2 --logical-faults 0.7 -o samples/D202403.txt
"${gen[@]}" --records 20 --seed 2 -o samples/S202401.txt
"${gen[@]}" --records 18 --seed 23 --physical-faults 0.4 -o samples/S202402.txt
"${gen[@]}" --records 24 --seed 35 --logical-faults 0.7 -o samples/S202403.txt
