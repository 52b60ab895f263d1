# Sourced by the window benchmarks: starts Xvfb on a free display and sets $display and $xvfb_pid.
# The caller's trap kills $xvfb_pid; $work is the caller's scratch folder.
start_xvfb() {
    exec 3<> "$work/displayfd" || true
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do [ -s "$work/displayfd" ] && break; sleep 0.05; done
    display=":$(head -n1 "$work/displayfd" | tr -d ' \n')"
    exec 3>&-
}
