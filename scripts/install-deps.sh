#!/usr/bin/env bash
# Installs the packages of packages.txt that are missing. As root it uses apt-get;
# otherwise it names the missing packages and the command that installs them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' packages.txt | grep -v '^$')
missing=()
for p in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
((${#missing[@]} == 0)) && exit 0
if [[ $(id -u) -ne 0 ]]; then
    echo "Lumivex needs these packages, which are not installed: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
