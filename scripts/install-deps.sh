#!/usr/bin/env bash
# Installs the Debian 12 packages that tunewright builds, runs and tests with.
set -euo pipefail

l_Packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libgtest-dev libbenchmark-dev
  libsdl1.2-dev libsdl-image1.2-dev libftgl-dev libfreetype-dev libpng-dev
  libgl1-mesa-dev libgl1-mesa-dri libglu1-mesa-dev
  libsndfile1-dev libasound2-dev alsa-utils
  libglib2.0-dev dbus playerctl
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-plugins-base
  gstreamer1.0-alsa gstreamer1.0-plugins-base-apps
  libvlccore-dev vlc-bin vlc-plugin-base audacious-dev audacious audacious-plugins dbus
  ccache fonts-freefont-ttf groff-base
  xvfb xdotool imagemagick x11-apps sox
  debhelper dh-python pybuild-plugin-pyproject python3-all
  lintian dpkg-dev desktop-file-utils appstream shared-mime-info libglib2.0-bin file
  doxygen python3 python3-venv python3-pip python3-setuptools python3-pytest python3-numpy python3-mido
  emscripten chromium
)
# Node.js and npm for the web build's tests, from Debian unless a Node.js with npm is already there.
command -v npm >/dev/null || l_Packages+=(nodejs npm)

exec "$(dirname "$0")/apt-install.sh" "${l_Packages[@]}"
