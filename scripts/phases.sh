# Sourced by the test scripts: phase_end NAME appends "NAME <seconds since the last phase ended>"
# to the file named by GLIMORA_PHASES (set by scripts/test.sh, which prints them); without it,
# nothing. The time of the last end is kept beside that file, so that phases ended by the scripts
# test.sh starts (sanitize.sh, fuzz.sh) count from each other and not from when each was sourced.
phase_end() {
  [ -n "${GLIMORA_PHASES:-}" ] || return 0
  local now last
  now=$(date +%s)
  last=$(cat "$GLIMORA_PHASES.last" 2>/dev/null || echo "$now")
  echo "$1 $((now - last))" >>"$GLIMORA_PHASES"
  echo "$now" >"$GLIMORA_PHASES.last"
}
if [ -n "${GLIMORA_PHASES:-}" ] && [ ! -e "$GLIMORA_PHASES.last" ]; then
  date +%s >"$GLIMORA_PHASES.last"
fi
