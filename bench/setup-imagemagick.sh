#!/usr/bin/env bash
# Lets Debian's ImageMagick write PDF and use enough disk for a large merge, for the
# benchmark only: its policy forbids PDF and caps the pixel cache at 1 GiB (a merge of 200
# photos holds about 20 GB of pixels), and a policy of
# our own cannot lift that. The original policy is kept beside it as policy.xml.orig.
set -euo pipefail
policy=/etc/ImageMagick-6/policy.xml
[ -f "$policy" ] || exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if [ ! -f "$policy.orig" ]; then
    "${sudo[@]}" cp "$policy" "$policy.orig"
fi
"${sudo[@]}" sed -i \
    -e 's|<policy domain="coder" rights="none" pattern="PDF" />|<policy domain="coder" rights="read\|write" pattern="PDF" />|' \
    -e 's|<policy domain="resource" name="disk" value="[^"]*"/>|<policy domain="resource" name="disk" value="64GiB"/>|' \
    "$policy"
