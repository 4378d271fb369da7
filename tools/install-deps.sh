#!/bin/sh
# Checks for the build tools and libraries; installs the missing Debian packages with apt-get when run as root.
missing=""
need() {  # need <package> <file that shows it is installed>
  [ -e "$2" ] || missing="$missing $1"
}
command -v cmake >/dev/null 2>&1 || missing="$missing cmake"
command -v g++ >/dev/null 2>&1 || missing="$missing g++"
command -v make >/dev/null 2>&1 || missing="$missing make"
need libgtest-dev /usr/include/gtest/gtest.h
need zlib1g-dev /usr/include/zlib.h
need gemmi-dev /usr/include/gemmi/cif.hpp
# gemmi's CIF parser is built on PEGTL; Debian's gemmi-dev does not pull it in.
need tao-pegtl-dev /usr/include/tao/pegtl.hpp
need gemmi /usr/bin/gemmi
need libcli11-dev /usr/include/CLI/CLI.hpp
need nlohmann-json3-dev /usr/include/nlohmann/json.hpp
need pybind11-dev /usr/include/pybind11/pybind11.h
need python3-pybind11 /usr/lib/python3/dist-packages/pybind11/__init__.py
need python3-dev /usr/include/python3.11/Python.h
need python3-pytest /usr/lib/python3/dist-packages/pytest/__init__.py
need libbenchmark-dev /usr/include/benchmark/benchmark.h
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
