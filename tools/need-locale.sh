#!/bin/sh
# Generates the named UTF-8 locales that are missing, e.g. `need-locale.sh zh_CN.UTF-8`.
# The window's tests run Wine in Simplified Chinese, whose ANSI code page is 936.
# Needs the Debian package "locales".
set -e
missing=""
for name in "$@"; do
  # `locale -a` spells zh_CN.UTF-8 as zh_CN.utf8.
  short=$(echo "$name" | sed 's/\.UTF-8$/.utf8/')
  locale -a 2>/dev/null | grep -qx "$short" || missing="$missing $name"
done
[ -z "$missing" ] && exit 0
echo "Generating locales:$missing"
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
for name in $missing; do
  line="$name UTF-8"
  if grep -q "^# *$line\$" /etc/locale.gen; then
    $sudo sed -i "s/^# *$line\$/$line/" /etc/locale.gen
  elif ! grep -q "^$line\$" /etc/locale.gen; then
    echo "$line" | $sudo tee -a /etc/locale.gen >/dev/null
  fi
done
$sudo locale-gen >/dev/null
