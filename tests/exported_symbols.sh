#!/usr/bin/env bash
# The library exports exactly the entry functions and the measures of the
# four byte functions, and the entry functions of the later ones, nothing else.
set -euo pipefail
expected=$(sort <<'NAMES'
_Z6maxvalii
_Z6minvalii
_Z13jaro_distancePcS_mm
_Z17get_prefix_lengthPcS_mm
_Z19levenshteinDistancePcS_mm
_Z20jarowinkler_distancePcS_mm
_Z21get_common_charactersPcS_mmm
_Z26damerauLevenshteinDistancePcS_mm
_Z7minimummm
editdistance
editdistance_dl
editdistance_dl_init
editdistance_init
jaro
jaro_init
jarowinkler
jarowinkler_init
jaro_utf8
jaro_utf8_init
jarowinkler_utf8
jarowinkler_utf8_init
editdistance_utf8
editdistance_utf8_init
editdistance_dl_utf8
editdistance_dl_utf8_init
editdistance_bounded
editdistance_bounded_init
editdistance_dl_bounded
editdistance_dl_bounded_init
editdistance_utf8_bounded
editdistance_utf8_bounded_init
editdistance_dl_utf8_bounded
editdistance_dl_utf8_bounded_init
NAMES
)
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") || true
  echo "exported symbols differ (< expected, > actual)" >&2
  exit 1
fi
echo "exactly $(wc -l <<<"$actual") symbols exported"
