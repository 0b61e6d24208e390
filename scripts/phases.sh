# Sourced by the test scripts: phase_end NAME appends "NAME <seconds since the last phase>" to the
# file named by GLIMORA_PHASES (set by scripts/test.sh, which prints them); without it, nothing.
phase_start=$SECONDS
phase_end() {
  [ -z "${GLIMORA_PHASES:-}" ] || echo "$1 $((SECONDS - phase_start))" >>"$GLIMORA_PHASES"
  phase_start=$SECONDS
}
