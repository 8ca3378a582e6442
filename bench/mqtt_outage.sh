#!/usr/bin/env bash
# Store and forward under a broker outage: N simulated sensors record to a local Mosquitto, the
# broker stops for OUTAGE seconds and starts again, then the recorder is stopped. Prints the
# frames recorded, spooled during the outage, delivered (distinct, and repeats), missing and left
# in the spool: the "seq" numbers a QoS 1 subscriber with a kept session received against the
# spool file's last numbers. While the spool drains after the outage, /metrics is asked every
# half second: how late the recorder's steps started then (tvx_loop_lag_seconds) and how long the
# slowest answer took tell whether the drain held the sensors or the scrapes up.
#   bench/mqtt_outage.sh [BUILD_DIR] [SENSORS] [OUTAGE_SECONDS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sensors=${2:-20}
outage=${3:-30}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port)
metrics=$(free_port)
cat >"$work/mosquitto.conf" <<EOF
listener $port 127.0.0.1
allow_anonymous true
persistence true
persistence_location $work/
max_queued_messages 0
user root
EOF
start_broker() {
  mosquitto -c "$work/mosquitto.conf" 2>>"$work/broker.log" &
  broker=$!
  pids+=("$broker")
  sleep 1
}
start_broker

"$build/sim/tvx-sensor-sim" --tcp 0 --tcp-count "$sensors" >"$work/sim.out" &
pids+=($!)
until grep -q ready "$work/sim.out"; do sleep 0.2; done
args=()
i=0
for address in $(awk '/^tcp /{print $2}' "$work/sim.out"); do
  args+=(--sensor "s$i=tcp://$address")
  i=$((i + 1))
done

mosquitto_sub -p "$port" -i bench-sub -c -q 1 -v -t 'bench/+/frame' >"$work/received" &
pids+=($!)
sleep 1
"$build/tvx/tvx" record --mqtt "127.0.0.1:$port" --topic bench --spool "$work/spool" "${args[@]}" \
  --metrics "$metrics" 2>"$work/tvx.err" &
recorder=$!
pids+=("$recorder")
sleep 10
kill "$broker"
wait "$broker" || true
echo "broker away for $outage s"
sleep "$outage"
curl -s "http://127.0.0.1:$metrics/metrics" >"$work/lag-before"
date +%s.%N >"$work/drain-times"
start_broker
: >"$work/scrape-times"
for _ in $(seq 30); do
  curl -s -o /dev/null -w '%{time_total}\n' "http://127.0.0.1:$metrics/metrics" >>"$work/scrape-times"
  sleep 0.5
done
curl -s "http://127.0.0.1:$metrics/metrics" >"$work/lag-after"
date +%s.%N >>"$work/drain-times"
read -r -a stat <"/proc/$recorder/stat"
echo "tvx: $(((stat[13] + stat[14]) / $(getconf CLK_TCK))) s of CPU, $(awk '/VmHWM/{print $2 / 1024}' "/proc/$recorder/status") MB at most"
kill -TERM "$recorder"
wait "$recorder" || true
sleep 3

python3 - "$work/received" "$work/tvx.err" "$work"/spool/*.spool "$work" <<'EOF'
import json, re, sqlite3, sys
newest, seen, lines = {}, set(), 0
for line in open(sys.argv[1]):
    topic, _, payload = line.partition(" ")
    sensor = topic.split("/")[1]
    seq = json.loads(payload)["seq"]
    lines += 1
    seen.add((sensor, seq))
    newest[sensor] = max(newest.get(sensor, 0), seq)
err = open(sys.argv[2]).read()
spooled = sum(int(n) for n in re.findall(r"back: sending (\d+) spooled", err))
spool = sqlite3.connect(sys.argv[3])
last = dict(spool.execute("SELECT name, last_seq FROM sensors"))
held = {(name, json.loads(payload)["seq"]) for name, payload in spool.execute("SELECT sensor, payload FROM frames")}
recorded, kept = sum(last.values()), len(held)
known = seen | held
missing = sum(1 for name, n in last.items() for seq in range(1, n + 1) if (name, seq) not in known)
print(f"sensors {len(newest)}  recorded {recorded}  spooled in the outage {spooled}")
print(f"delivered {len(seen)} (+{lines - len(seen)} repeats)  missing {missing}  left in the spool {kept}")
def lag(name):
    buckets = {}
    for line in open(f"{sys.argv[4]}/{name}"):
        found = re.match(r'tvx_loop_lag_seconds_bucket\{le="([^"]+)"\} (\d+)', line)
        if found:
            buckets[found[1]] = int(found[2])
    return buckets
def frames(name):
    return sum(int(n) for n in re.findall(r'^tvx_frames_total\{[^}]*\} (\d+)',
                                           open(f"{sys.argv[4]}/{name}").read(), re.M))
before, after = lag("lag-before"), lag("lag-after")
late = ""
if "+Inf" in before:
    steps = after["+Inf"] - before["+Inf"]
    late = f", {steps - (after['0.01'] - before['0.01'])} of {steps} steps more than 10 ms late"
start, end = (float(t) for t in open(f"{sys.argv[4]}/drain-times"))
rate = (frames("lag-after") - frames("lag-before")) / len(newest) / (end - start)
slowest = max(float(t) for t in open(f"{sys.argv[4]}/scrape-times"))
print(f"while the spool drained: {rate:.1f} frames/s per sensor{late};"
      f" slowest /metrics answer {slowest * 1000:.0f} ms")
EOF
