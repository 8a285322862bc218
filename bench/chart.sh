#!/usr/bin/env bash
# Draws the benchmark figures of one run (the CSV bench/run.sh writes) as a chart that
# reads at a glance: one panel per kind of work, each row next to the baseline it is
# measured against, bars from zero, every bar labelled with its ratio to that baseline.
#   bench/chart.sh RESULTS.csv CHART.png [ROUNDS]
set -euo pipefail
CSV="$1"
CHART="$2"
ROUNDS="${3:-several}"
DATA="$(mktemp -d)"
trap '[ -n "${KEEP:-}" ] || rm -rf "$DATA"' EXIT

# panel  row  baseline  label  short name (of a row others are measured against);
# a row that is its own baseline is drawn grey.
cat >"$DATA/layout" <<'LAYOUT'
sending send-raw send-raw raw_loop,_one_buffer one_buffer
sending send-raw-block send-raw raw_loop,_from_a_block raw_block
sending send-sender send-raw-block DatagramSender -
sending send-plugin send-raw-block SendBuffer_(module) -
sending iperf-sent send-raw iperf2 -
burst receive-raw receive-raw raw_recv_loop,_keeps_nothing raw_recv
burst receive-raw-slab receive-raw-slab raw_loop,_keeps_all_in_slabs raw_slab
burst receive-raw-fresh receive-raw raw_loop,_keeps_all_in_fresh_heap -
burst receive-listener receive-raw GroupListener,_cold -
burst receive-listener-warm receive-raw GroupListener,_warm_machine -
burst receive-listener-second receive-raw GroupListener,_second_burst -
delivery receive-raw-rate receive-raw-rate raw_recv_loop raw_recv
delivery deliver-text receive-raw-rate text_to_a_Lua_handler -
delivery receive-copy receive-copy raw_copy_into_fresh_64_MiB raw_copy
delivery receive-copy-2 receive-copy raw_copy,_2_threads raw_copy_2
delivery deliver-binary receive-copy binary_to_a_Lua_handler -
lost receive-busy-lost receive-busy-lost raw_recv_loop_beside_a_busy_thread raw_busy
lost deliver-text-lost receive-busy-lost Tidelisten_in_tidehost -
file file-raw-rmem-max-complete file-raw-rmem-max-complete raw_loop,_rmem_max raw_rmem
file file-listener-rmem-max-complete file-raw-rmem-max-complete GroupListener,_rmem_max -
file file-raw-8mib-complete file-raw-8mib-complete raw_loop,_8_MiB raw_8MiB
file file-listener-8mib-complete file-raw-8mib-complete GroupListener,_8_MiB -
LAYOUT

# Every rate in datagrams per second (a message's rate counts its fragments); counts as
# they are.
awk -F, 'NR > 1 {
        value = $2
        if ($3 == "MB/s") value = $2 * 1e6 / 20480
        print $1, value
    }' "$CSV" >"$DATA/values"

for panel in sending burst delivery lost file; do
    awk -v panel="$panel" '
        FNR == NR { value[$1] = $2; next }
        { gsub("_", " ", $4); gsub("_", " ", $5); short[$2] = $5 }
        $1 == panel && ($2 in value) {
            ratio = ($3 in value && value[$3] > 0) ? value[$2] / value[$3] : -1
            label = $2 == $3 ? "baseline" : ratio < 0 ? sprintf("%g,\\n%s: 0", value[$2], short[$3]) : sprintf("%.2f×\\nof %s", ratio, short[$3])
            # grey for a baseline, blue for the rest (colours as 0xRRGGBB)
            printf "%d\t%s\t%s\t%s\t%d\n", n++, value[$2], $4, label, $2 == $3 ? 10066329 : 4487082
        }' "$DATA/values" "$DATA/layout" >"$DATA/$panel"
done

plot_panel() {  # FILE TITLE Y-LABEL
    [ -s "$1" ] || printf '0\t0\tnot measured\t\t10066329\n' >"$1"
    cat <<PANEL
set title "$2"
set ylabel "$3"
set autoscale xy
stats "$1" using 2 nooutput
set yrange [0:(STATS_max > 0 ? STATS_max * 1.25 : 1)]
set xrange [-0.6:STATS_records - 0.4]
plot "$1" using 1:2:5:xtic(3) with boxes lc rgb variable, \\
     "" using 1:2:4 with labels offset 0,1.5 font ",9"
PANEL
}

gnuplot <<PLOT
set terminal pngcairo size 1600,1200 font ",10"
set output "$CHART"
set datafile separator "\t"
set multiplot layout 2,3 title "Medians of $ROUNDS rounds on private loopback (runs whole: their sum); every bar against the baseline it names"
set style fill solid 0.85
set boxwidth 0.6
set grid ytics
unset key
set format y "%.0s %c"
set xtics rotate by -25 scale 0 font ",9"
set bmargin 7
$(plot_panel "$DATA/sending" "Sending" "datagrams per second")
$(plot_panel "$DATA/burst" "A burst of 20000 datagrams, none delivered" "datagrams kept")
$(plot_panel "$DATA/delivery" "Delivery to script handlers" "datagrams per second")
set format y "%.0f"
$(plot_panel "$DATA/lost" "50000 texts while the host is busy delivering" "texts lost")
$(plot_panel "$DATA/file" "A 50 MB message, socket buffer as an ordinary user's" "runs it arrived whole")
unset multiplot
PLOT
