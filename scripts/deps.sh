#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# As root it installs them; otherwise it prints the one command to run.
set -euo pipefail

packages=(cmake ninja-build g++ zlib1g-dev libicu-dev libgtest-dev libbenchmark-dev libsqlite3-dev)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
