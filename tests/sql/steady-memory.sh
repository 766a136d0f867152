# The check of a server's memory over rounds of the same work. Source it.
#
#   steady_memory WHAT KIB...   the resident memory after each round, warm-up excluded
#
# A leak grows the memory in every round by about the same amount; noise
# moves it up and down, or once. So memory counts as growing only when it
# rose in each of the last five rounds and by more than a MiB in all: a leak
# of a few bytes per call over the hundreds of thousands of calls of a round
# fails it, the wobble of a busy machine does not.
steady_memory() {
  local what=$1
  shift
  local rss=("$@") n=$# i rises=0
  echo "$what: resident memory per round (KiB): ${rss[*]}"
  [ "$n" -ge 6 ] || { echo "$what: too few rounds to judge" >&2; return 1; }
  for ((i = n - 5; i < n; i++)); do
    [ "${rss[i]}" -gt "${rss[i - 1]}" ] && rises=$((rises + 1))
  done
  if [ "$rises" = 5 ] && [ $((rss[n - 1] - rss[n - 6])) -gt 1024 ]; then
    echo "$what: resident memory grew in each of the last five rounds," \
      "by $((rss[n - 1] - rss[n - 6])) KiB in all" >&2
    return 1
  fi
}
