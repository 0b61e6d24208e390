# Sourced by the build scripts: compiles through ccache when it is installed (scripts/setup.sh
# installs it). Sets GLIMORA_CMAKE_CACHE to the CMake arguments that select it.
GLIMORA_CMAKE_CACHE=()
if command -v ccache >/dev/null 2>&1; then
  GLIMORA_CMAKE_CACHE=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
