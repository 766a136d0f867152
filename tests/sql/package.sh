#!/usr/bin/env bash
# Builds the Debian package and checks it without installing it: lintian
# (errors fail, warnings are shown), its control data and files, and a
# private server whose plugin directory is the package's own, the functions
# registered from the package's install.sql. The system is left untouched.
#   package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
skip_without /usr/bin/lintian lintian
skip_without /usr/bin/dpkg-deb dpkg-deb
private_dir dir deb

(cd "$dir" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$dir"/likeness_*.deb)
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Maintainer|Depends):'
lint=0
# lintian leaves a scratch file in its temporary directory: ours, removed with it.
TMPDIR=$dir lintian --fail-on error "$deb" >"$dir/lintian.txt" 2>&1 || lint=$?
# lintian's note that it runs as root is not about the package.
grep -v 'running with root privileges' "$dir/lintian.txt" || true
[ "$lint" = 0 ] || fail "lintian reports errors"

root=$dir/root
dpkg-deb -x "$deb" "$root"
for file in usr/lib/mysql/plugin/likeness.so usr/share/likeness/install.sql \
    usr/share/likeness/uninstall.sql usr/share/likeness/index.sql usr/share/doc/likeness/copyright \
    usr/share/doc/likeness/changelog.gz; do
  [ -f "$root/$file" ] || fail "the package lacks /$file"
done
grep -q '^MIT License' "$root/usr/share/doc/likeness/copyright" || fail "the copyright file is not the MIT license"

server_start "$dir/server" "$root/usr/lib/mysql/plugin"
server_client "$dir/server" <"$root/usr/share/likeness/install.sql"
answer=$(server_client "$dir/server" --batch --skip-column-names \
  -e "SELECT jarowinkler('MARTHA', 'MARHTA'), editdistance_dl('abcd', 'abdc')")
expect "the packaged library's answer" $'0.9611111113594638\t1' "$answer"
server_client "$dir/server" <"$root/usr/share/likeness/index.sql"
server_client "$dir/server" --database=test -e "CREATE TABLE p (id INT PRIMARY KEY, name TEXT);
  INSERT INTO p VALUES (1, 'MARTHA'); CALL likeness.create_index('test', 'p', 'id', 'name', 1, 'utf8')"
expect "the packaged index" 1 "$(server_client "$dir/server" --database=test --batch --skip-column-names \
  -e "CALL likeness.check_index('test', 'p', 'name')" | cut -f7)"
server_client "$dir/server" <"$root/usr/share/likeness/uninstall.sql"
expect "functions left after uninstall.sql" 0 \
  "$(server_client "$dir/server" --batch --skip-column-names -e 'SELECT COUNT(*) FROM mysql.func')"
echo "$(basename "$deb"): lintian clean of errors; extracted, registered, answered, indexed, unregistered"
