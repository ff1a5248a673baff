#!/usr/bin/env bash
# How many small faults in src/ the tests catch: applies each single-line
# fault of a list (scripts/mutations.txt by default) to src/ on its own,
# rebuilds the native preset, runs the test programs and prints, fault by
# fault and in total, whether the tests caught it (a test failed, crashed
# or hung). A measurement like a benchmark, not part of CI: it rebuilds the
# plug-in's code once per fault, so on a shared machine run it with nice.
#
#   scripts/mutate.sh [--check] [LIST]
#
# --check only verifies that every fault of the list applies (its text is
# on exactly one line of its file). The working tree's src/ must have no
# changes of its own; each file is put back after its fault, and on exit.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
check_only=0
if [[ ${1:-} == --check ]]; then
  check_only=1
  shift
fi
list=${1:-$root/scripts/mutations.txt}
build=$root/build/native
bin=$build/bin
work=$build/mutate
# Cheapest first: the first program that fails settles the fault.
programs=(test_media test_support test_logging test_plugin test_quicktime test_container
          test_container_without_runtime test_audio test_video test_runtime test_host
          test_reliability test_qelhost)
program_timeout=300

# Faults as "path<TAB>from<TAB>to<TAB>note" lines, comments and blanks dropped.
faults() {
  awk -F ' :: ' '!/^[[:space:]]*(#|$)/ { print $1 "\t" $2 "\t" $3 "\t" $4 }' "$list"
}

# Replaces the one occurrence of from in file by to; fails when from is not
# on exactly one line.
apply_fault() {
  perl -e '
    my ($file, $from, $to) = @ARGV;
    open(my $in, "<", $file) or die "cannot read $file\n";
    my @lines = <$in>;
    close $in;
    my @hits = grep { index($lines[$_], $from) >= 0 } 0 .. $#lines;
    exit 3 if @hits != 1;
    my $at = index($lines[$hits[0]], $from);
    substr($lines[$hits[0]], $at, length $from) = $to;
    open(my $out, ">", $file) or die "cannot write $file\n";
    print $out @lines;
    close $out;
  ' "$1" "$2" "$3"
}

if [[ $check_only == 1 ]]; then
  bad=0
  scratch=$(mktemp)
  trap 'rm -f "$scratch"' EXIT
  while IFS=$'\t' read -r path from to note; do
    cp "$root/$path" "$scratch"
    if ! apply_fault "$scratch" "$from" "$to"; then
      echo "does not apply: $path: $from"
      bad=$((bad + 1))
    fi
  done < <(faults)
  echo "$(faults | wc -l) faults, $bad that do not apply"
  exit $((bad > 0))
fi

if ! git -C "$root" diff --quiet -- src; then
  echo "src/ has changes of its own; commit or stash them first" >&2
  exit 2
fi
mkdir -p "$work"
current=""
restore() {
  if [[ -n $current ]]; then
    git -C "$root" checkout -- "$current"
    current=""
  fi
}
trap restore EXIT INT TERM

build_all() {
  [[ -f $build/build.ninja ]] || cmake --preset native -S "$root" > "$work/configure.log"
  cmake --build "$build" -j2 --target QelContainerQuickTime QuickTimeRuntime Qel_Logging "${programs[@]}" \
    < /dev/null > "$work/build.log" 2>&1
}

# Runs the programs until one fails; prints the name of the one that failed.
first_failing_program() {
  local program
  for program in "${programs[@]}"; do
    if ! (cd "$bin" && timeout "$program_timeout" "./$program" --gtest_brief=1 < /dev/null > "$work/$program.log" 2>&1); then
      echo "$program"
      return
    fi
  done
}

echo "baseline: building and running the tests without a fault"
build_all || { echo "the build fails without a fault (see $work/build.log)" >&2; exit 2; }
failing=$(first_failing_program)
if [[ -n $failing ]]; then
  echo "$failing fails without a fault (see $work/$failing.log)" >&2
  exit 2
fi

caught=0 missed=0 same=0 same_caught=0 unbuilt=0 number=0
while IFS=$'\t' read -r path from to note; do
  number=$((number + 1))
  current=$path
  if ! apply_fault "$root/$path" "$from" "$to"; then
    echo "#$number does not apply: $path: $from" >&2
    restore
    exit 2
  fi
  if ! build_all; then
    echo "#$number not built   $path: $to"
    unbuilt=$((unbuilt + 1))
    restore
    continue
  fi
  failing=$(first_failing_program)
  if [[ $note == same:* ]]; then
    same=$((same + 1))
    [[ -n $failing ]] && same_caught=$((same_caught + 1))
    echo "#$number same       $path: $to (${note#same: })${failing:+, caught by $failing}"
  elif [[ -n $failing ]]; then
    caught=$((caught + 1))
    echo "#$number caught     $path: $to ($failing: $(grep -m1 -o '\[  FAILED  \] [^ ]*' "$work/$failing.log" | cut -c14- || true))"
  else
    missed=$((missed + 1))
    echo "#$number MISSED     $path: $to"
  fi
  restore
done < <(faults)

build_all || true
changing=$((caught + missed))
echo "caught $caught of $changing faults that change behaviour ($((changing ? 100 * caught / changing : 0))%);" \
  "$same that change none ($same_caught of them caught), $unbuilt not built"
