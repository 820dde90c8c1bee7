#!/usr/bin/env bash
# Builds the Debian package from the build folder with CPack (as scripts/package does) into
# a temporary folder and checks it:
# - one file, named package_version_architecture.deb after its own control fields;
# - dependencies found by dpkg-shlibdeps (Qt Widgets, PCRE2 and the C library among them);
# - every entry owned by root; the same files, links and contents as `cmake --install`
#   puts into a DESTDIR with the prefix /usr (the program itself differs only by being
#   stripped in the package);
# - lintian reports no error (skipped with a message when lintian is missing); its
#   warnings are shown.
# Usage: package.sh CMAKE CPACK BUILD_FOLDER
set -euo pipefail
cmake="$1"
cpack="$2"
build="$3"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    echo "FAIL: cpack could not build the package:"
    cat "$work/cpack.log"
    exit 1
fi
debs=("$work"/out/*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack made not exactly one .deb:"
    ls -l "$work/out"
    exit 1
fi
deb="${debs[0]}"

field() { dpkg-deb -f "$deb" "$1"; }
package="$(field Package)"
version="$(field Version)"
architecture="$(field Architecture)"
[ "$package" = replace-in-files ] || fail "the package is called '$package'"
[ "$(basename "$deb")" = "${package}_${version}_${architecture}.deb" ] \
    || fail "the file is called $(basename "$deb"), not ${package}_${version}_${architecture}.deb"
[ "$architecture" = "$(dpkg --print-architecture)" ] || fail "the package is for '$architecture'"
depends="$(field Depends)"
for library in libc6 libpcre2-8-0 libpcre2-16-0 libqt6core6 libqt6widgets6; do
    grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: '$depends'"
done
for name in Maintainer Section Description Homepage; do
    [ -n "$(field "$name")" ] || fail "the control field $name is empty"
done

# Owners, then the contents against a plain install.
owners="$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)"
[ "$owners" = root/root ] || fail "entries not owned by root/root: $owners"
dpkg-deb -x "$deb" "$work/package"
if ! DESTDIR="$work/install" "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    echo "FAIL: cmake --install failed:"
    cat "$work/install.log"
    exit 1
fi
listing() { (cd "$1" && find . ! -type d -printf '%p %y %l\n' | sort); }
if ! diff <(listing "$work/install") <(listing "$work/package") >"$work/listing.diff"; then
    fail "the package's files differ from the install's (< install, > package):"
    cat "$work/listing.diff"
fi
while read -r path; do
    [ "$path" = ./usr/libexec/replace-in-files/replace-in-files ] && continue
    [ "$path" = ./usr/bin/rif ] && continue  # stripped in the package, as the program is
    if [ -f "$work/package/$path" ] && ! cmp -s "$work/install/$path" "$work/package/$path"; then
        fail "$path in the package differs from the installed one"
    fi
done < <(cd "$work/install" && find . -type f | sort)
program=usr/libexec/replace-in-files/replace-in-files
if [ -x "$work/package/$program" ]; then
    packaged_size=$(stat -c %s "$work/package/$program")
    built_size=$(stat -c %s "$work/install/$program")
    [ "$packaged_size" -le "$built_size" ] || fail "the packaged program is larger than the built one"
else
    fail "the package holds no executable $program"
fi

if command -v lintian >/dev/null; then
    status=0
    lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || status=$?
    grep -v "^running with root privileges is not recommended" "$work/lintian.log" | sed 's/^/lintian: /' || true
    [ "$status" -eq 0 ] || fail "lintian found errors (exit code $status)"
else
    echo "install_package: skipped lintian (lintian is missing)"
fi

if [ "$failures" -ne 0 ]; then
    echo "install_package: $failures check(s) failed"
    exit 1
fi
echo "install_package: ok ($(basename "$deb"))"
