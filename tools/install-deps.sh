#!/bin/sh
# Checks for the build tools and GoogleTest; installs the missing ones with apt-get when run as root.
missing=""
command -v cmake >/dev/null 2>&1 || missing="$missing cmake"
command -v g++ >/dev/null 2>&1 || missing="$missing g++"
command -v make >/dev/null 2>&1 || missing="$missing make"
[ -f /usr/include/gtest/gtest.h ] || missing="$missing libgtest-dev"
[ -n "$missing" ] || exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing:$missing"
  DEBIAN_FRONTEND=noninteractive apt-get update -q && \
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing && exit 0
  echo "apt-get failed to install:$missing" >&2
  exit 1
fi
echo "Missing build packages:$missing" >&2
echo "Install them with: sudo apt-get install$missing" >&2
exit 1
