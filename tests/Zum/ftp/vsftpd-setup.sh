#!/usr/bin/env bash
# Prepares a private vsftpd instance for the FTP client tests and prints the password of its user.
#   vsftpd-setup.sh <folder> <port>
# Makes the throw-away local user "nuvraftp" if it is missing, with a random password kept in
# /var/lib/nuvraftp-test, and writes <folder>/vsftpd.conf for 127.0.0.1:<port> with
# <folder>/home as the user's starting folder. Needs root (vsftpd logs local users on via PAM).
set -euo pipefail
dir=$1
port=$2
user=nuvraftp

[ -x /usr/sbin/vsftpd ] || { echo "vsftpd is not installed" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "root is needed to run vsftpd" >&2; exit 1; }

if ! id -u "$user" >/dev/null 2>&1; then
  # A restricted shell: PAM accepts only users whose shell is listed in /etc/shells. A run
  # started at the same moment may have made the user already.
  useradd --no-create-home --home-dir / --shell /bin/rbash "$user" 2>/dev/null || id -u "$user" >/dev/null
fi
# vsftpd enters the home folder before local_root, so it must exist; "/" always does.
[ "$(getent passwd "$user" | cut -d: -f6)" = / ] || usermod --home / "$user"

# One random password per machine, made once: test runs side by side must agree on it.
state=/var/lib/nuvraftp-test
mkdir -p "$state"
chmod 700 "$state"
if [ ! -s "$state/password" ]; then
  fresh=$(mktemp "$state/password.XXXXXX")
  od -An -N12 -tx1 /dev/urandom | tr -d ' \n' >"$fresh"
  mv -n "$fresh" "$state/password"
  rm -f "$fresh"
fi
password=$(cat "$state/password")
echo "$user:$password" | chpasswd

mkdir -p "$dir/empty" "$dir/home"
chmod 755 "$dir/empty"
chown "$user" "$dir/home"

cat >"$dir/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
local_root=$dir/home
chroot_local_user=NO
secure_chroot_dir=$dir/empty
pam_service_name=vsftpd
userlist_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=40000
pasv_max_port=40100
connect_from_port_20=NO
syslog_enable=NO
xferlog_enable=YES
log_ftp_protocol=YES
vsftpd_log_file=$dir/vsftpd.log
ftpd_banner=Nuvra test server
CONF
echo "$password"
