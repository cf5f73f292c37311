# Shared by the soak scripts (sourced): what they measure of a process, and the busy core.

# Resident memory, open files and threads of process $1, on one line.
soak_figures() {
  local pid=$1
  printf 'resident %s kB, %s open files, %s threads' \
    "$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")" \
    "$(ls "/proc/$pid/fd" | wc -l)" "$(awk '/^Threads/ { print $2 }' "/proc/$pid/status")"
}

# Keeps another core than the first busy for the whole soak; sets busy_pid and other_cpu.
soak_busy_core() {
  local cpus
  cpus=$(nproc)
  other_cpu=$(( cpus > 1 ? 1 : 0 ))
  taskset -c "$other_cpu" bash -c 'while :; do :; done' &
  busy_pid=$!
}
