#!/usr/bin/env bash
# Installs the Debian packages the project needs; quick when all are present.
#   install-deps.sh         what building and running needs
#   install-deps.sh --test  also what the test suite needs (real mail servers, MIME parser)
#   install-deps.sh --fuzz  also what the fuzz targets need (clang with libFuzzer)
set -euo pipefail

packages=(cmake make g++ pkg-config libsqlite3-dev libssl-dev qt6-base-dev qt6-webengine-dev libsystemd-dev ca-certificates
          fonts-dejavu-core)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(sqlite3 libgtest-dev libgmock-dev libbenchmark-dev libgmime-3.0-dev openssl
             dovecot-core dovecot-pop3d dovecot-imapd postfix xvfb xauth)
fi
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root (or install them) first" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# The test run starts its own mail servers on loopback ports; the packaged ones need no
# configuration of their own.
echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
