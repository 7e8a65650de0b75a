#!/usr/bin/env bash
# Installs every Debian package that building and testing Tramela needs.
set -euo pipefail

packages=(
    cmake
    g++
    make
    pkg-config
    clang-format
    clang-14
    libclang-rt-14-dev
    libsqlite3-dev
    liblzma-dev
    libcurl4-openssl-dev
    libfmt-dev
    libcli11-dev
    libtomlplusplus-dev
    googletest
    libgtest-dev
    libgmock-dev
    libshp-dev
    libproj-dev
    libzip-dev
    sqlite3
    libssl-dev
    openssl
    libxml2-utils
    xz-utils
    python3
    qt6-base-dev
    libpango1.0-dev
    libcairo2-dev
    fonts-liberation2
    poppler-utils
    xvfb
    xauth
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
