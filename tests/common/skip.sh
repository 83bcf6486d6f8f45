# The one skip rule of the shell tests. Sourced: `skip WHY...` prints
# "SKIPPED: WHY" and ends the test with 77, which ctest counts as skipped and
# scripts/test.sh lists with its reason. Run (`sh skip.sh WHY`): skips at
# once, for a test that could not be registered when configuring.
skip() {
  echo "SKIPPED: $*"
  exit 77
}
case ${0##*/} in
  skip.sh) skip "$@" ;;
esac
