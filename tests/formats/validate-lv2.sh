#!/bin/sh
# Checks an LV2 bundle's description with sord_validate against the LV2
# specification's own files (every installed bundle that declares a
# specification or an ontology, such as core.lv2 and schemas.lv2), and fails
# unless it reports no error.
#   validate-lv2.sh SORD_VALIDATE BUNDLE [SPEC_DIR]
set -eu
validate=$1
bundle=$2
specs=${3:-/usr/lib/lv2}

files=""
for manifest in "$specs"/*.lv2/manifest.ttl; do
    if grep -q -E 'lv2:Specification|owl:Ontology' "$manifest"; then
        files="$files $(ls "$(dirname "$manifest")"/*.ttl)"
    fi
done
[ -n "$files" ] || { echo "no LV2 specification files under $specs" >&2; exit 1; }

# shellcheck disable=SC2086
report=$("$validate" $files "$bundle"/*.ttl 2>&1) || true
echo "$report" | tail -n 20
echo "$report" | grep -q '^Found 0 errors' || { echo "the bundle does not validate" >&2; exit 1; }
