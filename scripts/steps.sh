# What the test commands share. Source it.
#
# Everything the tests make goes under one directory, LIKENESS_TMP, removed
# at the end whatever becomes of the tests. Each step runs in a process
# group of its own, so that a signal that reaches the script (alone, or with
# its group as `timeout` sends it) is passed on at once to every process of
# the step: the test scripts then stop their servers and remove their
# directories before the script removes the rest. A server with a long
# statement in flight can take a while to stop, so the step's processes get
# a minute to finish cleaning up before they are killed. A script that
# starts processes of its own names them in also_stop, and they are stopped
# first.
#
#   step COMMAND...              runs one step
#   configure DIR [option...]    a Release build tree with warnings as errors
#   build DIR [target...]
LIKENESS_TMP=$(mktemp -d /tmp/likeness-test.XXXXXX)
export LIKENESS_TMP
jobs=$(nproc)
step_pid=""
also_stop=()
finish() {
  local pid
  for pid in "${also_stop[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$step_pid" ]; then
    kill -TERM -- "-$step_pid" 2>/dev/null || true
    wait "$step_pid" 2>/dev/null || true
    for _ in $(seq 1 600); do
      kill -0 -- "-$step_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$step_pid" 2>/dev/null || true
  fi
  rm -rf "$LIKENESS_TMP"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
step() {
  set -m
  "$@" &
  step_pid=$!
  set +m
  wait "$step_pid"
  step_pid=""
}

configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLIKENESS_WERROR=ON "$@" >/dev/null
}
build() {
  local dir=$1
  shift
  cmake --build "$dir" -j"$jobs" ${1:+--target "$@"} >/dev/null
}
