#!/usr/bin/env bash
# Checks that includes under src/ point down the order of folders below.
#
# Each folder may include its own files, the public headers and the folders
# listed before it. Folders on one line of the order (joined by '+') stand on
# one level: they may include each other, but not in a ring. The public
# headers include nothing from src/. Prints every include that breaks this
# and exits with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."

# From the ground up; the README's layout section says what each one holds.
order=(
  foundation
  platform
  storage
  events
  records
  backend
  device
  state
  services
  abtest+messaging+purchases
  analytics
  people
  core
  api
)

declare -A level=()
for i in "${!order[@]}"; do
  IFS=+ read -ra names <<<"${order[$i]}"
  for name in "${names[@]}"; do level[$name]=$i; done
done

# "file folder" for every quoted include of a folder in the given tree.
includes() {
  grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' "$1" |
    sed -E 's/:.*"([a-z_]+)\/$/ \1/' || true
}

faults=0
fault() {
  echo "$1"
  faults=$((faults + 1))
}

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
for dir in src/*/; do
  folder=$(basename "$dir")
  if [ -z "${level[$folder]+set}" ]; then
    fault "src/$folder is not in the order of folders"
    continue
  fi
  while read -r file target; do
    [ "$target" = "$folder" ] || [ "$target" = mvk ] && continue
    if [ -z "${level[$target]+set}" ]; then
      fault "$file includes $target/, which is not a folder of src/"
    elif [ "${level[$target]}" -gt "${level[$folder]}" ]; then
      fault "$file includes $target/, which stands above $folder/"
    else
      echo "$folder $target" >>"$edges"
    fi
  done < <(includes "$dir")
done

# tsort names the folders of a ring on standard error.
if ! ring=$(sort -u "$edges" | tsort 2>&1 >/dev/null) || [ -n "$ring" ]; then
  fault "folders include each other in a ring: $(echo "$ring" | sed -n 's/^tsort: //p' | grep -v loop | tr '\n' ' ')"
fi

while read -r file target; do
  [ "$target" = mvk ] || fault "$file is a public header and includes $target/"
done < <(includes include/mvk)

if [ "$faults" -gt 0 ]; then
  exit 1
fi
echo "includes point down: $(printf '%s < ' "${order[@]}" | sed 's/ < $//')"
