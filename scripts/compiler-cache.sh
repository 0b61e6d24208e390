# Sourced by the build scripts: compiles through ccache when it is installed (scripts/setup.sh
# installs it). Sets GLIMORA_CMAKE_CACHE to the CMake arguments that select it.
GLIMORA_CMAKE_CACHE=()
if command -v ccache >/dev/null 2>&1; then
  GLIMORA_CMAKE_CACHE=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  # The sources are compiled with a precompiled header (cmake/BuildSpeed.cmake), which ccache
  # caches only when told to ignore the defines inside it and the time macros; the header is
  # rebuilt just before its users, so its fresh time stamp must not count either.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
fi
