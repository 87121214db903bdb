# The Wine settings every Windows test script runs under: one prefix of the project's own under
# build/windows, no debug output, no menu entries written for the programs. Sourced from the
# repository's root.
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
