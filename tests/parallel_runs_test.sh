#!/usr/bin/env bash
# Parallel runs sharing their inputs: RUNS command-line conversions at once
# (8 unless set) read one source and one template into products of their own,
# ROUNDS times (100 unless set). Every run must succeed and every product must
# be the same. Usage: parallel_runs_test.sh CLI [ROUNDS]; under Wine set
# RUNNER=wine and give the .exe.
set -u
cli="$1"
rounds="${2:-100}"
runs="${RUNS:-8}"
runner="${RUNNER:-}"
dir="$(mktemp -d "${TMPDIR:-/tmp}/pagesmith-parallel-XXXXXX")"
trap 'rm -rf "$dir"' EXIT

native() { if [ -n "$runner" ]; then winepath -w "$1"; else printf '%s' "$1"; fi; }

printf '<html><title>T</title>\r\n<body>[...]</body></html>\r\n' >"$dir/Shared.tpl.txt"
for i in $(seq 200); do printf '[.Page %d]\r\ntext of page %d with a < b\r\n\r\n' "$i" "$i"; done >"$dir/notes.txt"
: >"$dir/empty.ini"  # every setting at its default
settings="$(native "$dir/empty.ini")"
templates="$(native "$dir")"
source="$(native "$dir/notes.txt")"

failures=0
for round in $(seq "$rounds"); do
  pids=()
  for n in $(seq "$runs"); do
    $runner "$cli" --settings "$settings" --template-dir "$templates" --template Shared \
      "$source" -o "$(native "$dir/out-$n.htm")" >"$dir/err-$n" 2>&1 &
    pids+=("$!")
  done
  for n in $(seq "$runs"); do
    if ! wait "${pids[$((n - 1))]}"; then
      echo "round $round, run $n failed: $(cat "$dir/err-$n")" >&2
      failures=$((failures + 1))
    fi
  done
  for n in $(seq 2 "$runs"); do
    if ! cmp -s "$dir/out-1.htm" "$dir/out-$n.htm"; then
      echo "round $round: product $n differs from product 1" >&2
      failures=$((failures + 1))
    fi
  done
  [ "$failures" -gt 0 ] && break
done
[ "$failures" -eq 0 ] || exit 1
echo "$rounds rounds of $runs parallel runs: all succeeded, all products identical"
