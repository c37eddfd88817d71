#!/usr/bin/env bash
# A product that is an input under another name, made on the file system
# itself: symbolic links, hard links and linked folders to the source, the
# template and the settings file. Each run must exit with 1 and the message
# that names the input, and leave every input as it was. Usage:
# product_alias_test.sh CLI; under Wine set RUNNER=wine and give the .exe,
# which then sees the links through Wine's drive mapping.
set -u
cli="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
runner="${RUNNER:-}"
dir="$(mktemp -d "${TMPDIR:-/tmp}/pagesmith-alias-XXXXXX")"
trap 'rm -rf "$dir"' EXIT

native() { if [ -n "$runner" ]; then winepath -w "$1"; else printf '%s' "$1"; fi; }

printf '[.A]\r\ntext\r\n' >"$dir/notes.txt"
printf '<p>[...]</p>' >"$dir/Plain.tpl.txt"
printf '[Settings]\r\nTitleRange=1\r\n' >"$dir/Pagesmith.ini"
mkdir "$dir/sub"
ln -s "$dir" "$dir/sub/linked"
sums="$(cd "$dir" && md5sum notes.txt Plain.tpl.txt Pagesmith.ini)"

failures=0
check() {  # check PRODUCT EXPECTED-MESSAGE DESCRIPTION
  local out status
  out="$($runner "$cli" --settings "$(native "$dir/Pagesmith.ini")" --template-dir "$(native "$dir")" \
         --template Plain "$(native "$dir/notes.txt")" -o "$(native "$1")" 2>&1)"
  status=$?
  out="${out//$'\r'/}"
  # The command line adds the product's name to the message.
  if [ "$status" -ne 1 ] || [ "${out#"pagesmith: $2: "}" = "$out" ]; then
    echo "FAIL $3: exit $status, said: $out" >&2
    failures=$((failures + 1))
  fi
  if [ "$(cd "$dir" && md5sum notes.txt Plain.tpl.txt Pagesmith.ini)" != "$sums" ]; then
    echo "FAIL $3: an input changed" >&2
    failures=$((failures + 1))
  fi
}

inputs="notes.txt:source Plain.tpl.txt:template Pagesmith.ini:settings"
for pair in $inputs; do
  name="${pair%%:*}"
  what="${pair##*:}"
  message="Product file must differ from source and template"
  [ "$what" = settings ] && message="Product file must differ from the settings file"
  ln -s "$dir/$name" "$dir/symlink.htm"
  check "$dir/symlink.htm" "$message" "symbolic link to the $what"
  rm "$dir/symlink.htm"
  ln "$dir/$name" "$dir/hardlink.htm"
  check "$dir/hardlink.htm" "$message" "hard link to the $what"
  rm "$dir/hardlink.htm"
  check "$dir/sub/linked/$name" "$message" "linked folder to the $what"
  if [ -z "$runner" ]; then
    cd "$dir"
    check "/proc/self/cwd/$name" "$message" "/proc/self/cwd to the $what"
    cd - >/dev/null
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "every alias of every input refused, every input intact"
