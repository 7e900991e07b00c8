#!/usr/bin/env bash
# The converter under a real batch scheduler: a one-node Slurm cluster on this machine (munged
# with a key made here, slurmctld and slurmd on loopback, everything in a temporary folder),
# 1,000 images converted by the job array script that the README shows (docs/slurm-convert.sh)
# in 8 tasks, one task cancelled while it converts, the array submitted again. The reports of
# both arrays together must account for every image exactly once as converted, the second
# array's for every image once (converted or skipped), and every PDF must be complete. Then
# the figures: images per second of the array against one converter with -j on the same work.
# The daemons are stopped by their process ids when the test ends, also when it fails.
#   slurm_test.sh SOURCE_DIR CONVERTER
# Exit status 77 (skipped) without root or without Slurm and munge.
set -uo pipefail
source_dir=$1
converter=$2
images=1000
tasks=8

fail() {
    echo "FAIL: $*"
    exit 1
}

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the daemons of a cluster need root"
    exit 77
fi
for program in munged slurmctld slurmd sbatch squeue scancel qpdf; do
    command -v "$program" >/dev/null || { echo "skipped: no $program"; exit 77; }
done

# The script the README shows is the one run here.
recipe=$source_dir/docs/slurm-convert.sh
python3 - "$recipe" "$source_dir/README.md" <<'PY' || fail "README.md does not show docs/slurm-convert.sh as it is"
import sys
script = open(sys.argv[1]).read().splitlines()
shown = "\n".join(("    " + line).rstrip() for line in script)
sys.exit(0 if shown in open(sys.argv[2]).read() else 1)
PY

work=$(mktemp -d /tmp/ombrix-slurm.XXXXXX)
chmod 755 "$work"
pids=()
stop_daemons() {
    # Jobs first, so that no job step outlives its daemon; then the daemons by their ids.
    if [ -f "$work/slurm.conf" ] && [ -f "$work/slurmctld.pid" ]; then
        SLURM_CONF=$work/slurm.conf timeout 20 scancel --full --quiet -u root 2>/dev/null
        wait_for 30 queue_empty >/dev/null 2>&1
    fi
    for name in slurmd slurmctld munged; do
        [ -f "$work/$name.pid" ] || continue
        local pid
        pid=$(cat "$work/$name.pid")
        kill "$pid" 2>/dev/null || continue
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null
    done
}
cleanup() {
    local status=$?
    stop_daemons
    if [ "$status" -ne 0 ]; then
        for log in "$work"/*.log; do
            [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP PIPE

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# munge: a key of our own, its socket in the work folder (Slurm reaches it through AuthInfo).
mkdir -m 700 "$work/munge"
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge/munge.key"
munged --force --key-file="$work/munge/munge.key" --socket="$work/munge/munge.socket" \
    --pid-file="$work/munged.pid" --log-file="$work/munged.log" \
    --seed-file="$work/munge/munge.seed" || fail "munged did not start"
wait_for 20 test -S "$work/munge/munge.socket" || fail "munged made no socket"

host=$(hostname -s)
mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<EOF
ClusterName=ombrixtest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
MpiDefault=none
ReturnToService=2
KillWait=30
MinJobAge=600
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
NodeName=ombrixnode NodeHostname=$host NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=test Nodes=ombrixnode Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$work/slurm.conf
slurmctld -f "$SLURM_CONF" -i || fail "slurmctld did not start"
slurmd -f "$SLURM_CONF" -N ombrixnode || fail "slurmd did not start"
node_idle() { sinfo -h -n ombrixnode -o %t 2>/dev/null | grep -qx idle; }
wait_for 60 node_idle || fail "the node did not come up: $(sinfo 2>&1)"

queue_empty() { [ -z "$(squeue -h -o %i 2>/dev/null)" ] && squeue >/dev/null 2>&1; }

# The images: a few distinct ones, each copied under many names in ten folders.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config
export PATH=$(dirname "$converter"):$PATH
mkdir -p "$HOME/Documents"
mkdir "$work/archive"
for i in $(seq 0 9); do
    convert -seed "$i" -size 192x144 plasma:fractal "$work/archive/base$i.png" ||
        fail "cannot make an image"
done
make_images() {
    python3 - "$work/archive" "$1" "$images" <<'PY'
import os, shutil, sys
base, into, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
for i in range(count):
    folder = os.path.join(into, f"folder{i % 10}")
    os.makedirs(folder, exist_ok=True)
    shutil.copyfile(os.path.join(base, f"base{i % 10}.png"), os.path.join(folder, f"image{i}.png"))
PY
}

# Submits the array from `folder` and waits until it has left the queue; prints its id.
submit() {
    local output
    output=$(cd "$1" && sbatch --array=0-$((tasks - 1)) --cpus-per-task=1 "$recipe") ||
        fail "sbatch: $output"
    echo "${output##* }"
}
job_done() { [ -z "$(squeue -h -j "$1" -o %i 2>/dev/null)" ]; }

# Every line of every report in the folders given, as "status<TAB>input".
report_lines() {
    cat "$@" | python3 -c '
import json, sys
for line in sys.stdin:
    entry = json.loads(line)
    print(entry["status"] + "\t" + entry["input"])'
}

# First array: task 3 is cancelled while it converts.
run=$work/run
make_images "$run"
(cd "$run" && find . -type f -name '*.png' -print0 >all.list0)
job=$(submit "$run")
converting() { [ -s "$run/report.3.jsonl" ]; }
wait_for 120 converting || fail "task 3 did not start converting"
scancel "${job}_3" || fail "scancel failed"
wait_for 180 job_done "$job" || fail "the first array did not end: $(squeue)"
mkdir "$run/first"
mv "$run"/report.*.jsonl "$run/first/"
cancelled=$(report_lines "$run/first/report.3.jsonl" | grep -vc '^converted' || true)
echo "task 3 cancelled with $cancelled of its $((images / tasks)) images left"

# Second array, as written: only what is missing is converted.
job=$(submit "$run")
wait_for 180 job_done "$job" || fail "the second array did not end: $(squeue)"

first=$(report_lines "$run"/first/report.*.jsonl)
second=$(report_lines "$run"/report.*.jsonl)
expected=$(cd "$run" && find . -type f -name '*.png' | sort)
[ "$(cut -f2 <<<"$second" | sort)" = "$expected" ] ||
    fail "the second array's reports do not name every image once"
bad=$(grep -v -e '^converted' -e '^skipped' <<<"$second" | head -3)
[ -z "$bad" ] || fail "the second array left images: $bad"
converted=$(printf '%s\n%s\n' "$first" "$second" | grep '^converted' | cut -f2 | sort)
[ "$converted" = "$expected" ] || fail "not every image was converted exactly once: $(
    diff <(echo "$converted") <(echo "$expected") | head -5)"
[ "$cancelled" -gt 0 ] || echo "note: task 3 ended before the cancel reached it"
# No PDF is cut off: the converter skips a PDF only when it is complete (its header, its
# end-of-file marker, cross-reference data and trailer read without repair) and made of the
# same image; the task cancelled is the one to look at closely.
[ "$(find "$run" -name '*.pdf' | wc -l)" -eq "$images" ] || fail "not one PDF per image"
(cd "$run" && ombrix-convert --null --files-from all.list0 --beside-source --skip-existing \
    --report json >check.jsonl 2>check.log) || fail "the check run failed"
[ "$(report_lines "$run/check.jsonl" | grep -c '^skipped')" -eq "$images" ] ||
    fail "PDFs were made again: $(report_lines "$run/check.jsonl" | grep -v '^skipped' | head -3)"
while IFS= read -r pdf; do
    qpdf --check "$run/${pdf%.png}.pdf" >/dev/null || fail "qpdf --check fails on ${pdf%.png}.pdf"
done < <(report_lines "$run/first/report.3.jsonl" | cut -f2)
echo "every image converted once over both arrays; every PDF complete"

# The figures: the same work by the array and by one converter with -j 2.
figures=$work/figures
make_images "$figures/array"
make_images "$figures/plain"
(cd "$figures/array" && find . -type f -name '*.png' -print0 >all.list0)
(cd "$figures/plain" && find . -type f -name '*.png' -print0 >all.list0)
start=$(date +%s%N)
job=$(submit "$figures/array")
wait_for 300 job_done "$job" || fail "the array of the figures did not end"
array_ns=$(($(date +%s%N) - start))
start=$(date +%s%N)
(cd "$figures/plain" && ombrix-convert -j 2 --null --files-from all.list0 --beside-source \
    --report json >report.jsonl 2>convert.log) || fail "the plain run failed"
plain_ns=$(($(date +%s%N) - start))
array_converted=$(report_lines "$figures"/array/report.*.jsonl | grep -c '^converted')
[ "$array_converted" -eq "$images" ] || fail "the array of the figures converted $array_converted"
python3 -c '
import sys
images, tasks, array, plain = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]) / 1e9, int(sys.argv[4]) / 1e9
print(f"figures: {images} images; Slurm array of {tasks} tasks on 2 processors: "
      f"{images / array:.1f} images/s ({array:.1f} s from submission to the end); "
      f"one converter with -j 2: {images / plain:.1f} images/s ({plain:.1f} s)")' \
    "$images" "$tasks" "$array_ns" "$plain_ns"
