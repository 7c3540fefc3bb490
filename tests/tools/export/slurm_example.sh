#!/bin/sh
# Runs the Slurm example of the README exactly as written there (the shell
# block after the line "<!-- slurm-example -->") on a real one-node Slurm
# that it starts itself: munged, slurmctld and slurmd with a private key and
# configuration in a scratch folder, on ports of their own. Three generated
# mailboxes, one array task each; then every task's exit status, report and
# databases are checked. The daemons are stopped by their process ids.
#   slurm_example.sh README.md BIN_DIR PSTGEN NOTES_SETUP MAILBOX_DESCRIPTIONS
# Exits 77 (skipped), saying why, where the daemons cannot start here.
set -eu
readme=$1; bin=$2; pstgen=$3; notes_setup=$4; descriptions=$5

skip() {
  echo "skipped: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "the Slurm daemons of this test need root (slurmd starts the jobs as their users)"
for tool in mungekey munged slurmctld slurmd sbatch scontrol sinfo sqlite3; do
  command -v "$tool" >/dev/null 2>&1 ||
    skip "$tool is not installed (scripts/install-deps installs munge, slurmctld, slurmd, slurm-client, sqlite3)"
done

work=$(mktemp -d)
# munged wants every folder on the way to its socket open to all.
chmod 755 "$work"
stop_daemons() {
  for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/munged.pid"; do
    if [ -s "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null || true; fi
  done
  # They end within a few seconds; the folder goes once they have.
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    alive=0
    for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/munged.pid"; do
      if [ -s "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then alive=1; fi
    done
    [ "$alive" -eq 0 ] && break
    sleep 1
  done
  rm -f "$work/slurmd.pid" "$work/slurmctld.pid"
}
trap 'stop_daemons; rm -rf "$work"' EXIT
cd "$work"
mkdir -p keys munge state spool logs reports out
chmod 700 keys
chmod 755 munge

# munge: a key of this test's own, and its own socket.
mungekey --create --keyfile="$work/keys/munge.key" >/dev/null 2>&1 || skip "mungekey cannot make a key here"
chmod 600 keys/munge.key
munged --key-file="$work/keys/munge.key" --socket="$work/munge/munge.socket" --pid-file="$work/munge/munged.pid" \
  --log-file="$work/keys/munged.log" --seed-file="$work/keys/munged.seed" >keys/munged.out 2>&1 ||
  skip "munged does not start here: $(tail -n 1 keys/munged.out)"

host=$(hostname -s)
write_conf() {
  cat >slurm.conf <<EOF
ClusterName=norvexa$$
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$1
SlurmdPort=$2
AuthType=auth/munge
AuthInfo=socket=$work/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MinJobAge=3600
ReturnToService=2
MpiDefault=none
SwitchType=switch/none
NodeName=$host NodeAddr=127.0.0.1 CPUs=2 RealMemory=2048 State=UNKNOWN
PartitionName=export Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}
export SLURM_CONF="$work/slurm.conf"

# The controller and the node, on ports nobody else listens on; another
# pair when a port turns out to be taken.
started=0
for attempt in 1 2 3 4 5; do
  port=$((20000 + ($$ * 7 + attempt * 101) % 20000 * 2))
  if ss -ltn 2>/dev/null | grep -q -e ":$port " -e ":$((port + 1)) "; then continue; fi
  write_conf "$port" "$((port + 1))"
  slurmctld -c >/dev/null 2>&1 || true
  slurmd >/dev/null 2>&1 || true
  for _ in $(seq 1 30); do
    if [ "$(sinfo -h -o %t 2>/dev/null)" = "idle" ]; then started=1; break; fi
    sleep 1
  done
  [ "$started" -eq 1 ] && break
  stop_daemons
done
if [ "$started" -eq 0 ]; then
  echo "--- slurmctld.log"; tail -n 5 slurmctld.log 2>/dev/null || true
  echo "--- slurmd.log"; tail -n 5 slurmd.log 2>/dev/null || true
  skip "slurmctld and slurmd did not come up with a node ready (no cgroup or network support here?)"
fi

# Three mailboxes, each into a folder of its own, and a Notes client.
"$pstgen" "$descriptions/every-kind.json" "$work/alpha.pst" >/dev/null
"$pstgen" "$descriptions/deep-nesting.json" "$work/beta.pst" >/dev/null
"$pstgen" "$descriptions/formatted-mail.json" "$work/gamma.pst" >/dev/null
printf '%s\t%s\n' "$work/alpha.pst" "$work/out/alpha" "$work/beta.pst" "$work/out/beta" \
  "$work/gamma.pst" "$work/out/gamma" >mailboxes.tsv
"$notes_setup" "$work/notes" >/dev/null
# What the tasks find in their environment (sbatch passes it on).
export NORVEXA_NOTES_DATA="$work/notes" HOME="$work" PATH="$bin:$PATH"

# The job script, taken from the README.
sh "$(dirname "$0")/readme_example.sh" "$readme" slurm-example >export.sh
echo "running sbatch --array=1-3 on:"; cat export.sh
job=$(sbatch --parsable --array=1-3 export.sh)
job=${job%%;*}
# Every task ends well within the bound; a hanging one fails the test.
for _ in $(seq 1 300); do
  left=$(scontrol show job "$job" -o 2>/dev/null | grep -c -E "JobState=(PENDING|RUNNING|CONFIGURING|COMPLETING)" || true)
  [ "$left" -eq 0 ] && break
  sleep 1
done
[ "$left" -eq 0 ] || { echo "the array's tasks did not end within 300 s"; scontrol show job "$job"; exit 1; }

# Each task: exit status 0 as Slurm records it, a report of status 0 with
# every item copied, and its two databases holding those items.
failed=0
for task in 1 2 3; do
  store=$(sed -n "${task}p" mailboxes.tsv | cut -f1)
  target=$(sed -n "${task}p" mailboxes.tsv | cut -f2)
  state=$(scontrol show job "${job}_${task}" -o | tr ' ' '\n' | grep -E '^(JobState|ExitCode)=' | tr '\n' ' ')
  echo "task $task ($store): $state"
  case "$state" in *"JobState=COMPLETED"*"ExitCode=0:0"*) ;; *) echo "task $task did not end with status 0"; failed=1 ;; esac
  report="reports/$task.json"
  if ! grep -q '"status":0' "$report" 2>/dev/null; then
    echo "task $task: no report of status 0"; cat "$report" "logs/$task.log" 2>/dev/null || true; failed=1; continue
  fi
  grep -q "\"store\":\"$store\"" "$report" || { echo "task $task: the report is not of $store"; failed=1; }
  grep -q '"failed_items":\[\]' "$report" || { echo "task $task: items not copied"; failed=1; }
  copied=$(sed -n 's/.*"items":{\([^}]*\)}.*/\1/p' "$report" | sed 's/.*"copied":\([0-9]*\).*/\1/')
  databases=$(ls "$target/Converted Outlook PST/" | grep -c '\.nsf$' || true)
  [ "$databases" -eq 2 ] || { echo "task $task: $databases databases in $target, not 2"; failed=1; }
  documents=0
  for nsf in "$target/Converted Outlook PST/"*.nsf; do
    documents=$((documents + $(sqlite3 -readonly "$nsf" 'SELECT count(*) FROM documents')))
  done
  echo "task $task: $copied items copied, $documents documents in its databases"
  [ "$documents" -eq "$copied" ] && [ "$copied" -gt 0 ] || { echo "task $task: the documents are not the items"; failed=1; }
done
[ "$failed" -eq 0 ]
echo "the README's Slurm example works"
