#!/usr/bin/env bash
# Runs the libFuzzer targets of a build made with -DCORVANTA_FUZZ=ON.
#   bash fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [TARGET...]
# Each target first replays its saved regression inputs (tests/data/fuzz-regressions/TARGET),
# then fuzzes for the given time, two targets at a time, starting from the vCard files of
# tests/data, the corpus of real exports included (copied into BUILD_DIR/fuzz-work at run
# time; the corpus grown there is kept for the next run). Any crash, time-out or leak fails the
# run; the input that caused it is left in BUILD_DIR/fuzz-work/TARGET/.
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:?build folder}" && pwd) # absolute: the conversion targets change their current folder
seconds=${2:?seconds per target}
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$build"/fuzz/fuzz_*; do
        [ -x "$exe" ] && [ -f "$exe" ] && targets+=("$(basename "$exe")")
    done
fi
parallel=${FUZZ_JOBS:-2}
work="$build/fuzz-work"
mkdir -p "$work"

# Seed inputs: whole files for the file-level targets, one line per input for the others.
vcf_files() {
    find tests/data -type f \( -iname '*.vcf' -o -iname '*.dat' \) -size -512k \
        -not -path '*/fuzz-regressions/*'
}
# A seed's name: its path with "/" as "_", so that files of the same name in two folders differ;
# a long one is cut and told apart by a checksum (some cases hold file names of 255 bytes).
seed_name() {
    local n=${1//\//_}
    [ ${#n} -gt 60 ] && n="${n:0:40}_$(printf '%s' "$1" | cksum | cut -d' ' -f1)"
    printf '%s' "$n"
}
seed() {
    local target=$1 dir=$2
    mkdir -p "$dir"
    case $target in
    fuzz_lexer | fuzz_escaping | fuzz_nettoienom)
        vcf_files | while read -r f; do
            awk -v d="$dir" -v b="$(seed_name "$f")" '!seen[$0]++ { print $0 > (d "/" b "_" NR) }' "$f"
        done
        ;;
    fuzz_passes)
        vcf_files | while read -r f; do
            { printf '\x0f\x00'; cat "$f"; } > "$dir/$(seed_name "$f")"
        done
        ;;
    *)
        vcf_files | while read -r f; do cp "$f" "$dir/$(seed_name "$f")"; done
        ;;
    esac
}
max_len() {
    case $1 in
    fuzz_lexer | fuzz_escaping | fuzz_nettoienom) echo 4096 ;;
    *) echo 65536 ;;
    esac
}

run_one() {
    local target=$1 exe="$build/fuzz/$1" dir="$work/$1"
    mkdir -p "$dir/corpus"
    rm -rf "$dir/seeds"
    seed "$target" "$dir/seeds"
    local regress="tests/data/fuzz-regressions/$target"
    if [ -d "$regress" ] && [ -n "$(ls -A "$regress")" ]; then
        if ! "$exe" -rss_limit_mb=2048 -timeout=10 "$PWD/$regress"/* > "$dir/regressions.log" 2>&1; then
            echo "FAIL $target: a saved regression input fails again (see $dir/regressions.log)"
            tail -n 40 "$dir/regressions.log"
            return 1
        fi
    fi
    local start=$SECONDS
    "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len="$(max_len "$target")" \
        -print_final_stats=1 -artifact_prefix="$dir/" "$dir/corpus" "$dir/seeds" > "$dir/fuzz.log" 2>&1
    local rc=$?
    local execs
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/fuzz.log" | tail -n 1)
    if [ $rc -ne 0 ]; then
        echo "FAIL $target after $((SECONDS - start)) s (exit $rc); the input is in $dir/:"
        ls "$dir" | grep -E '^(crash|timeout|leak|oom|slow-unit)-' || true
        grep -E -A 40 '^==[0-9]+==ERROR|check failed|runtime error|ALARM|out-of-memory' "$dir/fuzz.log" | head -n 60
        return 1
    fi
    echo "ok   $target: ${execs:-?} runs in $((SECONDS - start)) s, corpus $(ls "$dir/corpus" | wc -l) inputs"
}

failed=0
passed=0
pids=()
names=()
reap() {
    # Waits for the oldest running target and counts its result.
    local pid=${pids[0]} name=${names[0]}
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
    if wait "$pid"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    cat "$work/$name.out"
}
for t in "${targets[@]}"; do
    if [ ${#pids[@]} -ge "$parallel" ]; then reap; fi
    run_one "$t" > "$work/$t.out" 2>&1 &
    pids+=($!)
    names+=("$t")
done
while [ ${#pids[@]} -gt 0 ]; do reap; done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
