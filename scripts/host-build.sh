# Sourced by the Windows scripts: the native build that makes the data generators for the cross
# build and holds the Linux renderer and test driver that the Windows programs are checked against.
# A test run that has the plain build already points TUNEWRIGHT_HOST_BUILD at it; otherwise the
# scripts keep a Release build of their own.
l_HostBuild="${TUNEWRIGHT_HOST_BUILD:-build/windows/host}"
