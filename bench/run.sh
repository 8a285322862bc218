#!/usr/bin/env bash
# The benchmark table: every row, several rounds, medians, and each row's ratio to the
# raw baseline of the same run; a CSV and a chart under bench/results/. ./tide bench
# runs it inside a private network namespace, with a release build.
#   bench/run.sh BUILD_DIR        (TIDE_BENCH_ROUNDS=5 by default; the send rows run
#                                  TIDE_BENCH_SEND_ROUNDS=15 times in all, spread over them)
set -uo pipefail
BUILD="$1"
ROUNDS="${TIDE_BENCH_ROUNDS:-5}"
SEND_ROUNDS="${TIDE_BENCH_SEND_ROUNDS:-15}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RESULTS="$HERE/results"
mkdir -p "$RESULTS"
THROUGHPUT="$BUILD/bench/tide_throughput"
TIDEHOST="$BUILD/emulator/tidehost/tidehost"
[ -x "$TIDEHOST" ] || TIDEHOST="$BUILD/emulator/tidehost"
RAW="$(mktemp)"
trap 'rm -f "$RAW"' EXIT

SEND_DATAGRAMS=3277        # one 64 MiB block
MESSAGE_BYTES=$((64 * 1024 * 1024))
BURST_DATAGRAMS=20000
# A 50 MB message to a receiver whose socket buffer is what an ordinary user is granted:
# net.core.rmem_max as this machine has it, and 8 MiB; twice per round, each.
FILE_BYTES=50000000
COLD_REST=3
RMEM_MAX="$(cat /proc/sys/net/core/rmem_max 2>/dev/null || echo 212992)"
TEXT_DATAGRAMS=50000
# Texts queued and then delivered for the host thread's CPU per text, and under callgrind
# (a fixed count: instructions are deterministic) for the instructions per text.
COST_TEXTS=4000
COUNTED_TEXTS=1000
IDLE_SECONDS=5

emit() { echo "$1 $2 $3" >> "$RAW"; }
say() { printf '  %s\n' "$*" >&2; }

# One binary message received by another process (ROW, then the command that prints
# "ready" and then "complete T"), sent by this one: its rate in MB/s from the first datagram
# sent to the whole message put together. BYTES and PORT default to the 64 MiB message's.
message_row() {
    local row="$1" bytes="${BYTES:-$MESSAGE_BYTES}" port="${PORT:-46301}"
    shift
    local out pid
    coproc MESSAGE { "$@"; }
    # Read through a copy of its output, and waited for by a copy of its process id: bash
    # forgets both once the coprocess has ended, which it may have before its last line is read.
    exec {out}<&"${MESSAGE[0]}"
    pid=$MESSAGE_PID
    read -r ready <&"$out"
    read -r _ began _ < <("$THROUGHPUT" send-message "$bytes" 239.255.63.1 "$port")
    read -r state completed <&"$out"
    exec {out}<&-
    wait "$pid" 2>/dev/null
    if [ "$state" = complete ]; then
        emit "$row" "$(awk -v b="$bytes" -v s="$began" -v e="$completed" \
            'BEGIN {printf "%.1f", (e > s) ? b / (e - s) / 1e6 : 0}')" MB/s
    fi
    emit "$row-complete" "$([ "$state" = complete ] && echo 1 || echo 0)" "runs"
}

SEND_EACH=$(( (SEND_ROUNDS + ROUNDS - 1) / ROUNDS ))
for round in $(seq "$ROUNDS"); do
    say "round $round of $ROUNDS"
    # The send rows alternate, so that the machine's changing load falls on all of them.
    for _ in $(seq "$SEND_EACH"); do
        for row in send-raw send-raw-block send-sender send-plugin; do
            read -r _ value unit < <("$THROUGHPUT" "$row" "$SEND_DATAGRAMS")
            emit "$row" "$value" "$unit"
        done
    done
    for row in receive-raw receive-raw-fresh receive-raw-slab receive-listener receive-listener-second \
        receive-listener-warm; do
        # A cold row follows a rest, so that the memory it is handed is as a burst after an
        # idle spell finds it, whatever row came before: a virtual machine that gives free
        # memory back to its host (free page reporting, 2 s after it is freed) makes its
        # next first touch cost a fault of the host's as well.
        case "$row" in receive-raw-fresh | receive-raw-slab | receive-listener) sleep "$COLD_REST" ;; esac
        read -r _ count _ rate _ before peak after _ < <("$THROUGHPUT" "$row" "$BURST_DATAGRAMS")
        emit "$row" "$count" datagrams
        emit "$row-rate" "$rate" datagrams/s
        if [ "$row" = receive-listener ]; then
            emit listener-resident-before "$before" MiB
            emit listener-resident-peak "$peak" MiB
            emit listener-resident-after "$after" MiB
        fi
    done
    for _ in 1 2; do
        for buffer in "$RMEM_MAX:rmem-max" "8388608:8mib"; do
            for who in raw listener; do
                BYTES="$FILE_BYTES" PORT=46307 message_row "file-$who-${buffer#*:}" \
                    "$THROUGHPUT" receive-message "$who" "$FILE_BYTES" 239.255.63.1 46307 "${buffer%%:*}"
            done
        done
    done
    message_row receive-copy "$THROUGHPUT" receive-copy "$MESSAGE_BYTES" 239.255.63.1 46301 1
    message_row receive-copy-2 "$THROUGHPUT" receive-copy "$MESSAGE_BYTES" 239.255.63.1 46301 2
    if [ -x "$TIDEHOST" ]; then
        # The message comes from another process, as from a peer; its rate runs from the
        # first datagram sent to the whole message in the handler.
        message_row deliver-binary "$TIDEHOST" "$HERE/deliver_binary.lua" 239.255.63.1 46301 "$MESSAGE_BYTES"
        coproc TEXTS { "$TIDEHOST" "$HERE/deliver_text.lua" 239.255.63.2 46302 "$TEXT_DATAGRAMS"; }
        exec {out}<&"${TEXTS[0]}"
        pid=$TEXTS_PID
        read -r ready <&"$out"
        "$THROUGHPUT" send-texts "$TEXT_DATAGRAMS" 239.255.63.2 46302 >/dev/null
        read -r delivered rate <&"$out"
        exec {out}<&-
        wait "$pid" 2>/dev/null
        emit deliver-text "$rate" datagrams/s
        emit deliver-text-count "$delivered" datagrams
        # Texts lost while the host is busy delivering, beside a raw loop's loss under the
        # same load (a receive thread and a thread that never rests).
        emit deliver-text-lost "$(( TEXT_DATAGRAMS - delivered ))" datagrams
        coproc BUSY { "$THROUGHPUT" receive-busy "$TEXT_DATAGRAMS" 239.255.63.6 46306; }
        exec {out}<&"${BUSY[0]}"
        pid=$BUSY_PID
        read -r ready <&"$out"
        "$THROUGHPUT" send-texts "$TEXT_DATAGRAMS" 239.255.63.6 46306 >/dev/null
        read -r received <&"$out"
        exec {out}<&-
        wait "$pid" 2>/dev/null
        emit receive-busy-lost "$(( TEXT_DATAGRAMS - received ))" datagrams
        read -r delivered cpu < <("$TIDEHOST" "$HERE/text_cost.lua" 239.255.63.5 46305 "$COST_TEXTS")
        emit text-host-cpu "$(awk -v c="$cpu" -v n="$delivered" 'BEGIN {printf "%.3f", n ? 1e6 * c / n : 0}')" "us/text"
    fi
    if command -v iperf >/dev/null; then
        iperf -s -u -B 239.255.63.4 -p 46304 -l 20512 > "$RAW.iperf" 2>&1 &
        server=$!
        sleep 0.5
        sent=$(iperf -c 239.255.63.4 -u -p 46304 -l 20512 -b 100G -t 3 -T 1 2>&1 | awk '/Sent [0-9]+ datagrams/ {print $(NF-1)}')
        sleep 1
        kill "$server" 2>/dev/null; wait "$server" 2>/dev/null
        # The server's report ends "... 3162/133368 (2.4%)": lost/total for the whole run.
        read -r lost total < <(grep -oE '[0-9]+/ *[0-9]+ +\(' "$RAW.iperf" | tail -1 | tr -d '(' | tr '/' ' ')
        lost=${lost:-0}
        total=${total:-0}
        emit iperf-sent "$(awk -v n="${sent:-0}" 'BEGIN {printf "%.1f", n / 3}')" datagrams/s
        emit iperf-received "$(awk -v n="$total" -v l="$lost" 'BEGIN {printf "%.1f", (n - l) / 3}')" datagrams/s
        emit iperf-loss "$(awk -v n="$total" -v l="$lost" 'BEGIN {printf "%.2f", n ? 100 * l / n : 0}')" "%"
        rm -f "$RAW.iperf"
    fi
done

say "idle"
read -r _ value unit < <("$THROUGHPUT" idle-listener "$IDLE_SECONDS")
emit idle-listener "$value" "$unit"
if [ -x "$TIDEHOST" ]; then
    TIMEFORMAT="%R %U %S"
    times=$( { time "$TIDEHOST" "$HERE/idle.lua" 239.255.63.3 46303 "$IDLE_SECONDS" >/dev/null; } 2>&1 )
    emit idle-host-run "$(echo "$times" | awk '{printf "%.2f", 100 * ($2 + $3) / $1}')" "%cpu"
fi

# Instructions per delivered text, counted by callgrind inside DeliverOne (the whole of a
# delivery: plug-in, host, Lua), by layer.
LAYERS=""
if [ -x "$TIDEHOST" ] && command -v valgrind >/dev/null; then
    say "instructions per delivered text (callgrind, $COUNTED_TEXTS texts)"
    PROFILE="$(mktemp)"
    read -r delivered _ < <(valgrind --tool=callgrind --callgrind-out-file="$PROFILE" --toggle-collect='*DeliverOne*' \
        "$TIDEHOST" "$HERE/text_cost.lua" 239.255.63.5 46305 "$COUNTED_TEXTS" 0.01 2>/dev/null)
    if [ "${delivered:-0}" -gt 0 ]; then
        LAYERS="$("$HERE/callgrind_layers.py" "$PROFILE" "$delivered")"
        emit text-instructions "$(echo "$LAYERS" | awk '$1 == "total" {print $3}')" "instructions/text"
    fi
    rm -f "$PROFILE"*
fi

# Medians, ratios, table, CSV, chart.
STAMP="$(date +%Y%m%d-%H%M%S)"
CSV="$RESULTS/bench-$STAMP.csv"
sort -k1,1 -k2,2g "$RAW" | awk '
    { values[$1] = values[$1] " " $2; unit[$1] = $3; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
    END {
        for (i = 1; i <= n; i++) {
            k = split(substr(values[order[i]], 2), v, " ")
            median = (k % 2) ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
            if (order[i] ~ /-complete$/) { median = 0; for (j = 1; j <= k; j++) median += v[j]; unit[order[i]] = "of " k " runs" }
            print order[i], median, unit[order[i]]
        }
    }' > "$RAW.medians"
awk '
    { m[$1] = $2; u[$1] = $3; for (f = 4; f <= NF; f++) u[$1] = u[$1] " " $f; rows[++n] = $1 }
    function ratio(row, base, scale) { return (base in m && m[base] > 0) ? sprintf("%.3f x %s", m[row] * scale / m[base], base) : "" }
    END {
        print "row,median,unit,ratio,baseline" > CSV
        printf "%-34s %16s  %-14s %s\n", "row", "median", "unit", "ratio to the raw baseline"
        for (i = 1; i <= n; i++) {
            r = rows[i]; text = ""; base = ""; scale = 1
            # Each row beside its fair limit: the raw loop that does the same work.
            if (r == "send-raw-block" || r == "iperf-sent") base = "send-raw"
            # A large message is read from memory the cache does not hold: the raw loop that
            # does the same is the limit a sender of one can reach.
            if (r == "send-sender" || r == "send-plugin") base = "send-raw-block"
            # A burst kept whole, against the raw loop that keeps nothing; the rows of the listener
            # also against the raw loop that keeps every datagram in slabs of its kind.
            if (r ~ /^receive-raw-(fresh|slab)(-rate)?$/ || r ~ /^receive-listener/) base = (r ~ /-rate$/) ? "receive-raw-rate" : "receive-raw"
            # A 50 MB message through the listener, against the raw loop with the same buffer.
            if (r ~ /^file-listener-/) { base = r; sub(/listener/, "raw", base) }
            if (r == "deliver-text" || r == "iperf-received") base = "receive-raw-rate"
            # A message is put together in fresh memory: against the one-thread loop, the
            # faster raw loop on this machine (the two-thread one, built as the listener is,
            # beside it).
            if (r == "receive-copy-2") base = "receive-copy"
            if (r == "deliver-binary") base = "receive-copy"
            if (r == "deliver-binary") text = ratio(r, "receive-copy-2", 1)
            if (base != "") text = ratio(r, base, scale) (text != "" ? ", " text : "")
            if (r ~ /^receive-listener/) text = text ", " ratio(r, (r ~ /-rate$/) ? "receive-raw-slab-rate" : "receive-raw-slab", 1)
            # Texts lost while the host is busy, against what the raw loop loses under the same load.
            if (r == "deliver-text-lost") { base = "receive-busy-lost"; text = ratio(r, base, 1) }
            # Memory at the peak and after the quiet time, beside what it was before the burst.
            if (r == "listener-resident-peak" || r == "listener-resident-after") {
                base = "listener-resident-before"; text = sprintf("%+.1f MiB against %s", m[r] - m[base], base)
            }
            if (r == "send-sender" || r == "send-plugin") text = text ", " ratio(r, "send-raw", 1)
            printf "%-34s %16.2f  %-14s %s\n", r, m[r], u[r], text
            split(text, parts, " ")
            printf "%s,%s,%s,%s,%s\n", r, m[r], u[r], parts[1], base >> CSV
        }
    }' CSV="$CSV" "$RAW.medians"
cp "$CSV" "$RESULTS/latest.csv"
if [ -n "$LAYERS" ]; then
    echo "instructions per delivered text by layer (layer, instructions in all, per text, share):"
    echo "$LAYERS" | sed 's/^/  /'
fi

# The chart: each row beside its baseline, bars from zero, ratios written on them.
CHART="$RESULTS/bench-$STAMP.png"
if command -v gnuplot >/dev/null; then
    "$HERE/chart.sh" "$CSV" "$CHART" "$ROUNDS" && cp "$CHART" "$RESULTS/latest.png" && say "chart: $CHART"
fi
say "figures: $CSV"
rm -f "$RAW.medians"
