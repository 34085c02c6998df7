#!/usr/bin/env bash
# The arrows between the folders: ui -> app -> {pipeline, image, render},
# render -> {image, colour}, pipeline -> {image, colour, render},
# cli -> pipeline (and what it passes on), web -> pipeline; colour, the
# colour model, and image stand on their own,
# and no others, both in the includes and in what each library links.
#   check_layering.sh SOURCE-ROOT [LIBRARY=LINKED+LINKED...]...
set -euo pipefail
root=$1
shift

declare -A may_include=(
    [image]="image"
    [colour]="colour"
    [render]="render image colour"
    [app]="app pipeline image render colour"
    [pipeline]="pipeline image render colour"
    [cli]="cli pipeline image render colour"
    [ui]="ui app resources"
    [web]="web pipeline image render colour"
)
declare -A may_link=(
    [lumirun_image]=""
    [lumirun_colour]=""
    [lumirun_render]="lumirun_image lumirun_colour"
    [lumirun_app]="lumirun_pipeline lumirun_image lumirun_render"
    [lumirun_pipeline]="lumirun_image lumirun_colour lumirun_render"
    [lumirun_cli]="lumirun_pipeline"
    [lumirun_ui]="lumirun_app"
)

failures=0
fail() { echo "layering: $*" >&2; failures=$((failures + 1)); }

for folder in "${!may_include[@]}"; do
    while IFS= read -r line; do
        file=${line%%:*}
        included=$(sed -n 's/^[[:space:]]*#include "\([a-z_]*\)\/.*/\1/p' <<<"${line#*:}")
        [ -n "$included" ] || continue
        [[ " ${may_include[$folder]} " == *" $included "* ]] || fail "${file#"$root"/} includes $included/"
    done < <(grep -rn '#include "' "$root/$folder" --include='*.h' --include='*.cpp' | sed 's/:[0-9]*:/:/')
done

for pair in "$@"; do
    library=${pair%%=*}
    IFS=+ read -r -a linked_list <<<"${pair#*=}"
    for linked in "${linked_list[@]}"; do
        [[ $linked == lumirun_* ]] || continue
        [[ " ${may_link[$library]-} " == *" $linked "* ]] || fail "$library links $linked"
    done
done

if [ "$failures" -gt 0 ]; then
    echo "layering: $failures arrows where none may be" >&2
    exit 1
fi
echo "layering: the includes of ${!may_include[*]} and the links of $# libraries keep the arrows"
