# The check of a server's memory over rounds of calls. Source it.
#
#   steady_memory WHAT CALLS KIB...   the resident memory after each round,
#                                     warm-up excluded; CALLS calls in all
#                                     between the first reading and the last
#
# A leak grows the memory with the calls: even one allocation of 16 bytes a
# call costs glibc 32, a hundred thousand calls 3 MiB. A server warming its
# caches, or a busy machine, moves it by amounts that do not grow with the
# calls: 3.2 MiB over 19 rounds once, while another build kept both cores
# busy. So memory counts as leaking when it grew by more than 2 bytes a call
# from the first reading to the last: over the millions of calls of a test,
# a leak of 16 bytes a call passes that tenfold and warming stays well below.
steady_memory() {
  local what=$1 calls=$2
  shift 2
  local rss=("$@") n=$#
  echo "$what: resident memory per round (KiB): ${rss[*]}"
  [ "$n" -ge 2 ] || { echo "$what: too few rounds to judge" >&2; return 1; }
  local grown=$((rss[n - 1] - rss[0])) allowed=$((2 * calls / 1024))
  echo "$what: grew by $grown KiB over $calls calls (at most $allowed KiB, 2 bytes a call;" \
    "a leak of 16 bytes a call would take $((32 * calls / 1024)) KiB)"
  if [ "$grown" -gt "$allowed" ]; then
    echo "$what: resident memory grew by more than 2 bytes a call: a leak" >&2
    return 1
  fi
}
