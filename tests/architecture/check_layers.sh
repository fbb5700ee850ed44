#!/usr/bin/env bash
# The layers of the sources point one way.  Each folder may include headers
# of the folders listed for it (and the standard library); curses only in
# ui/; pelkam-props and the examples of the library only the public headers
# (and core's text helpers).
#
#   core    nothing of the project
#   model   core
#   calc    core, model
#   io      core, model, calc
#   ui      core
#   app     core, model, calc, io, ui, render
#   api     core, model, calc, io, intersect, formula (and the public headers include/pelkam)
#   include/pelkam  the public headers: calc (the run request)
#   python  the Python module: the public headers only
#   formula core, io;  tarvek  core, io, ui, formula;  render  core, model, calc, io;
#   intersect  core, model, calc, io, render
#
# layer_exceptions.txt beside this script lists includes that break a rule
# for now ("FILE INCLUDE" a line); an exception that is no longer needed is
# reported as well, so that the list only shrinks.
#
# Usage: check_layers.sh SOURCE_DIR.  Prints every include that breaks a
# rule, and fails.
set -u
root=${1:-.}
cd "$root" || exit 2

declare -A allowed=(
  [core]="core"
  [model]="core model"
  [calc]="core model calc"
  [io]="core model calc io"
  [ui]="core ui"
  [app]="core model calc io ui render app"
  [api]="core model calc io intersect formula api pelkam"
  [include]="pelkam calc"
  [python]="pelkam python"
  [formula]="core io formula"
  [tarvek]="core io ui formula tarvek"
  [render]="core model calc io render"
  [intersect]="core model calc io render intersect"
)

status=0
report() {
  echo "$1"
  status=1
}

exceptions="$(dirname "$0")/layer_exceptions.txt"
declare -A excepted=() used=()
if [ -f "$exceptions" ]; then
  while read -r f inc _; do
    [ -z "$f" ] || [ "${f:0:1}" = "#" ] && continue
    excepted["$f $inc"]=1
  done < "$exceptions"
fi

for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r file; do
    while IFS= read -r line; do
      inc=${line#*\"}
      inc=${inc%%\"*}
      top=${inc%%/*}
      [ "$top" = "$inc" ] && continue  # a header beside the file
      ok=0
      for a in ${allowed[$folder]}; do
        [ "$a" = "$top" ] && ok=1
      done
      if [ $ok = 0 ] && [ -n "${excepted["$file $inc"]:-}" ]; then
        used["$file $inc"]=1
        ok=1
      fi
      [ $ok = 1 ] || report "$file includes $inc: $folder/ may include only ${allowed[$folder]}"
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$file")
    if [ "$folder" != ui ] && grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]+<(n?curses|term|panel|menu|form)\.h>' "$file"; then
      report "$file includes a curses header: only ui/ draws on the terminal"
    fi
  done < <(find "$folder" -name '*.hpp' -o -name '*.cpp' | sort)
done

# pelkam-props and the examples of the library are built on its public
# headers alone.
while IFS= read -r file; do
  while IFS= read -r line; do
    inc=${line#*\"}
    inc=${inc%%\"*}
    case "${inc%%/*}" in
      pelkam) ;;
      core) [ "$file" = apps/pelkam_props.cpp ] || report "$file includes $inc: only the public headers (pelkam/)" ;;
      *) report "$file includes $inc: only the public headers (pelkam/) and core's text helpers" ;;
    esac
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$file")
done < <(ls apps/pelkam_props.cpp 2>/dev/null; find examples/api -name '*.cpp' 2>/dev/null | sort)

for e in "${!excepted[@]}"; do
  [ -n "${used[$e]:-}" ] || report "layer_exceptions.txt: $e is no longer needed: remove it"
done

[ $status = 0 ] && echo "layers: every include points the right way"
exit $status
