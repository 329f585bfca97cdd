#!/usr/bin/env bash
# Sets everything up, builds, makes a small sample folder and a backup job
# for it, and runs the backup headless. Everything lives in a scratch folder so the
# user's own settings and jobs are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh

scratch="${VELLORA_SAMPLE_DIR:-$(mktemp -d /tmp/vellora-sample-XXXXXX)}"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share"
export VELLORA_REGISTRY_DIR="$scratch/registry" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME/Documents" "$scratch/sample/Letters" "$scratch/sample/Empty"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
echo "Dear Ann," > "$scratch/sample/Letters/ann.txt"
head -c 100000 /dev/urandom > "$scratch/sample/photo.raw"

job="$scratch/Sample.vlj"
tool=build/tools/vellora-job
if [ ! -e "$job" ]; then
  "$tool" new "$job"
  "$tool" add "$job" 6 "$scratch/sample"
  "$tool" set "$job" "m_strBackupFile=$scratch/backup/Sample.velarc" "m_strDescription=Sample folder"
fi
echo "Job: $job"
# No display here means a headless run, as cron gets.
# It prints its status, the backup and the log on a terminal; off one only a
# failure is printed, on standard error.
build/runner/gorvex "$job"
echo "Backup: $scratch/backup/Sample.velarc"
unzip -t "$scratch/backup/Sample.velarc"
