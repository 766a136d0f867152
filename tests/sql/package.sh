#!/usr/bin/env bash
# Builds the Debian package, installs it with dpkg, and registers the
# functions in a private server from the installed files alone.
#   package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
dir=$(mktemp -d /tmp/likeness-deb.XXXXXX)
trap 'server_stop "$dir"; dpkg -r likeness >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT

(cd "$dir" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$dir"/likeness_*.deb)
dpkg-deb --contents "$deb" | awk '{ print $NF }' | grep -E 'likeness.so$|\.sql$'
dpkg -i "$deb" >/dev/null

server_start "$dir" /usr/lib/mysql/plugin
server_client "$dir" </usr/share/likeness/install.sql
answer=$(server_client "$dir" --batch --skip-column-names \
  -e "SELECT jarowinkler('MARTHA', 'MARHTA'), editdistance_dl('abcd', 'abdc')")
[ "$answer" = $'0.9611111113594638\t1' ] || { echo "unexpected answer: $answer" >&2; exit 1; }
server_client "$dir" </usr/share/likeness/uninstall.sql
[ "$(server_client "$dir" --batch --skip-column-names -e 'SELECT COUNT(*) FROM mysql.func')" = 0 ]
echo "installed from $(basename "$deb"), registered, answered, unregistered"
