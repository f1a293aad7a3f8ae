#!/bin/sh
# Removes the Halvorin mouse software that came from its Debian packages,
# through the package manager, so that its database stays true. The packages'
# own scripts stop the driver host and every user's agent first. The machine's
# configuration (/etc/halvorin) stays until the packages are purged, and every
# user's settings (~/.local/share/Halvorin) stay in any case.
#
# Output: what the package manager says, and "PROGRESS:<step>/<steps>" lines
# taken from its progress reports.

installed() {
    for package in halvorin-tools halvorin halvorin-driverd; do
        if dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^.i'; then
            printf ' %s' "$package"
        fi
    done
}

packages=$(installed)
if [ -z "$packages" ]; then
    echo "No package of the Halvorin mouse software is installed."
    echo "PROGRESS:1/1"
    exit 0
fi

echo "Removing the packages$packages"
# apt-get reports its progress on descriptor 3 as
# "pmstatus:<package>:<percent>:<what it does>"; its own lines and errors go
# to the output as they are.
# shellcheck disable=SC2086  # one word per package
{ DEBIAN_FRONTEND=noninteractive apt-get remove --yes -o APT::Status-Fd=3 $packages \
      3>&1 1>&4 2>&4 |
      awk -F: '$1 == "pmstatus" { printf "PROGRESS:%d/100\n", $3; fflush() }'; } 4>&1

left=$(installed)
if [ -n "$left" ]; then
    echo "Could not remove$left; nothing else was changed."
    exit 1
fi
echo "PROGRESS:100/100"
echo "The Halvorin mouse software has been removed. Your mouse settings are kept."
