#!/usr/bin/env bash
# Installs, on Debian 12, whatever the build, the tests and the demo need and is missing.
set -euo pipefail

packages=(cmake make g++ python3 python3-cryptography g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth x11-utils
          fonts-nanum locales googletest imagemagick vsftpd curl osslsigncode nginx)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Without the Linux-side Korean locale, Wine garbles Korean arguments and file names.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR.utf8$'; then
  grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ko_KR.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# The code page 1252 tests run Wine under the English UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'en_US.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# An unprivileged user for the tests that run the program as a standard (not elevated) user.
if ! id -u nuvrastd >/dev/null 2>&1; then
  useradd --create-home --shell /bin/sh --comment "NuvraUpdater tests, standard user" nuvrastd
fi

# vsftpd and nginx must not run as system services here: the tests start their own instances
# (nginx as the test user, on a loopback port, with a configuration in a temporary folder).
for service in vsftpd nginx; do
  if systemctl is-active --quiet "$service" 2>/dev/null; then systemctl stop "$service" || true; fi
done
if [ -f /run/nginx.pid ] && ! command -v systemctl >/dev/null; then nginx -s stop 2>/dev/null || true; fi
exit 0
