#!/usr/bin/env bash
# Fetches and unpacks Debian's source packages named as arguments into the working directory,
# with apt-get source. That needs the index of Debian's source packages, which a machine with only
# deb entries lacks: a deb-src entry for Debian's main archive is then added, and said so.
set -euo pipefail
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if ! apt-get indextargets --no-release-info --format '$(SITE)' 'Created-By: Sources' |
    grep -qE '/debian/?$'; then
    file=/etc/apt/sources.list.d/cardioid-deb-src.sources
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "Adding $file: a deb-src entry for Debian's main archive, for apt-get source"
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: $codename" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
        as_root tee "$file" >/dev/null
fi
for package; do
    apt-cache showsrc "$package" 2>/dev/null | grep -q "^Package: $package\$" ||
        { as_root apt-get update -qq && break; }
done
apt-get source -q "$@" >source.log 2>&1 ||
    { cat source.log >&2 && echo "cannot fetch the sources of $* (see above)" >&2 && exit 1; }
