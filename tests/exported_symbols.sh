#!/usr/bin/env bash
# The library exports exactly the frozen C++ functions of its first release
# and the entry points (name, name_init, name_deinit, name_clear, name_add) of every SQL function that
# sql/install.sql registers (the build checks that script against the list
# of functions), nothing else.
#   exported_symbols.sh LIBRARY INSTALL.sql
set -euo pipefail
expected=$(
  {
    cat <<'FROZEN'
_Z6maxvalii
_Z6minvalii
_Z13jaro_distancePcS_mm
_Z17get_prefix_lengthPcS_mm
_Z19levenshteinDistancePcS_mm
_Z20jarowinkler_distancePcS_mm
_Z21get_common_charactersPcS_mmm
_Z26damerauLevenshteinDistancePcS_mm
_Z7minimummm
FROZEN
    # A function of a STRING result keeps a buffer per statement: name_deinit;
    # an aggregate also takes its rows: name_clear and name_add.
    awk '/^CREATE FUNCTION/ { print $6; print $6 "_init"; if ($8 == "STRING") print $6 "_deinit" }
         /^CREATE AGGREGATE FUNCTION/ { n = $7; print n; print n "_init"; print n "_deinit"
                                        print n "_clear"; print n "_add" }' "$2"
  } | sort
)
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") || true
  echo "exported symbols differ (< expected, > actual)" >&2
  exit 1
fi
echo "exactly $(wc -l <<<"$actual") symbols exported"
