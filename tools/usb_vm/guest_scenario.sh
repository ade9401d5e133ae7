#!/bin/bash
# Runs inside the virtual machine of scripts/usb-vm-test, chrooted into the host's root
# (read-only, with the guest's /proc, /sys, /dev and a fresh /tmp and /run): sets up one
# configfs gadget with a FunctionFS instance per handset and serves them with
# vantorel-gadget-handset. MODE station runs the real station headless against them
# (vantorel-bench --real: libudev hot-plug, the libusb bulk link) and checks every record
# with vantorel-record-check, then sets the station's CPU per MiB sent beside bare libusb
# round trips on fresh gadgets; MODE probe runs vantorel-usb-probe instead. PACKED 1 has
# every gadget pack the replies that belong together; PROFILE 1 samples the station and the
# bare round trips with perf. Exits 0 only on success; the logs go to RESULT.
#
# usage: guest_scenario.sh BUILD RESULT HANDSETS UNPLUG VICTIM_PACKET MODE IMAGES [PACKED]
#        [PROFILE]
set -u

build=$1
result=$2
handsets=$3
unplug=$4
victim_packet=$5
mode=${6:-station}
images=${7:-}
packed=${8:-0}
profile=${9:-0}
total=$((handsets + unplug))
bin=$build/tools/usb_vm
gadgets=/sys/kernel/config/usb_gadget
records=/tmp/records

log() { echo "guest: $*"; }

# Writes perf's report of DATA, by thread, library and function, to RESULT/NAME-profile.txt.
profile_report() {
  local name=$1 data=$2
  {
    echo "# $name: samples by thread"
    perf report -i "$data" --stdio --sort comm 2>&1 | grep -v '^$'
    echo "# $name: samples by thread and library"
    perf report -i "$data" --stdio --sort comm,dso 2>&1 | grep -v '^$' | head -n 60
    echo "# $name: samples by function (top 80)"
    perf report -i "$data" --stdio --sort dso,sym 2>&1 | grep -v '^$' | head -n 90
    echo "# $name: samples by thread and function (top 120)"
    perf report -i "$data" --stdio --sort comm,dso,sym 2>&1 | grep -v '^$' | head -n 130
  } >"$result/$name-profile.txt"
}

# With PROFILE 1, runs a command under perf (the software clock: the guest has no counters)
# and reports it as NAME; otherwise runs it as it is.
profiled() {
  local name=$1
  shift
  if [ "$profile" != 1 ]; then
    "$@"
    return
  fi
  local status=0
  perf record -q -e cpu-clock -F 997 -o "/tmp/$name.perf" -- "$@" || status=$?
  profile_report "$name" "/tmp/$name.perf"
  return "$status"
}

log "kernel $(uname -r), dummy_hcd num=$(cat /sys/module/dummy_hcd/parameters/num 2>/dev/null)," \
  "controllers: $(ls /sys/class/udc | tr '\n' ' ')"
if [ "$(ls /sys/class/udc | wc -l)" -lt "$total" ]; then
  log "fewer device controllers than the $total handsets"
  exit 1
fi

# One gadget per controller: vendor:product 1209:0001, the gadget's name as its serial
# number, one configuration holding the FunctionFS function.
gadget_args=()
if [ "$packed" = 1 ]; then gadget_args+=(--pack-replies); fi
# The bare round trips' gadgets: the same handsets and settings, without a fault.
bare_gadget_args=("${gadget_args[@]}")
mkdir -p /dev/ffs "$records"
for i in $(seq 1 "$total"); do
  name=h$i
  g=$gadgets/$name
  mkdir "$g" || exit 1
  echo 0x1209 >"$g/idVendor"
  echo 0x0001 >"$g/idProduct"
  echo 0x0200 >"$g/bcdUSB"
  mkdir "$g/strings/0x409"
  echo "Vantorel" >"$g/strings/0x409/manufacturer"
  echo "Handset in download mode" >"$g/strings/0x409/product"
  echo "$name" >"$g/strings/0x409/serialnumber"
  mkdir -p "$g/configs/c.1/strings/0x409"
  echo "download" >"$g/configs/c.1/strings/0x409/configuration"
  echo 100 >"$g/configs/c.1/MaxPower"
  mkdir "$g/functions/ffs.$name"
  ln -s "$g/functions/ffs.$name" "$g/configs/c.1/"
  mkdir "/dev/ffs/$name"
  mount -t functionfs "$name" "/dev/ffs/$name" || exit 1
  if [ "$unplug" = 1 ] && [ "$i" = "$total" ]; then
    # The handset that is unplugged mid-transfer: for the probe it keeps silent at one data
    # packet and the probe unbinds it; with the station it unbinds itself at that packet.
    if [ "$mode" = probe ]; then
      gadget_args+=(--missing-reply-at "$victim_packet")
    else
      gadget_args+=(--unplug-at "$victim_packet")
    fi
  fi
  gadget_args+=(--gadget "$name:dummy_udc.$((i - 1))")
  if [ "$i" -le "$handsets" ]; then bare_gadget_args+=(--gadget "$name:dummy_udc.$((i - 1))"); fi
done

start_gadgets() {
  log "gadgets: ${gadget_args[*]}"
  "$bin/vantorel-gadget-handset" --record-dir "$records" "${gadget_args[@]}" \
    >"$result/gadget.log" 2>&1 &
  gadget_pid=$!
}

# Ends the gadget program, which takes its gadgets off the bus and writes its last records.
stop_gadgets() {
  kill -TERM "$gadget_pid" 2>/dev/null
  for _ in $(seq 1 100); do
    kill -0 "$gadget_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$gadget_pid" 2>/dev/null; then
    log "the gadget program did not end on SIGTERM"
    kill -KILL "$gadget_pid"
    verdict="the gadget program did not end on SIGTERM"
    status=1
  fi
  wait "$gadget_pid" 2>/dev/null
}

run_probe() {
  start_gadgets
  probe_args=(--handsets "$handsets" --record-dir "$records" --gadget-pid "$gadget_pid")
  if [ "$unplug" = 1 ]; then
    probe_args+=(--victim "h$total" --victim-packet "$victim_packet")
  fi
  log "probe ${probe_args[*]}"
  started=$(date +%s%N)
  timeout --kill-after=5 300 "$bin/vantorel-usb-probe" "${probe_args[@]}" >"$result/probe.log" 2>&1
  status=$?
  log "probe exited $status after $((($(date +%s%N) - started) / 1000000)) ms"
}

# The station is started first and the handsets plugged in once it detects: it attaches
# arrivals, as an operator's station does.
run_station() {
  local station_args=(--real --handsets "$total" --timeout 240 --uncheck "Wait after download"
    --eboot "$images/eboot.eb0" --csc "$images/single.csc" --pda "$images/pda.nb0"
    --phone "$images/phone.bin" --records "$result/records")
  log "station ${station_args[*]}"
  started=$(date +%s%N)
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp HOME=/tmp \
    timeout --kill-after=5 280 "$build/bench/vantorel-bench" "${station_args[@]}" \
    >"$result/station.log" 2>"$result/station.err" &
  local station_pid=$!
  for _ in $(seq 1 600); do
    grep -q "vantorel-bench: detecting" "$result/station.err" 2>/dev/null && break
    kill -0 "$station_pid" 2>/dev/null || break
    sleep 0.1
  done
  local perf_pid=
  if [ "$profile" = 1 ]; then
    # Sampled from detection on: the start-up (libraries, fonts, the sample set) is not the
    # batch's work.
    perf record -q -e cpu-clock -F 997 -o /tmp/station.perf -p "$(pgrep -P "$station_pid")" &
    perf_pid=$!
  fi
  start_gadgets
  wait "$station_pid"
  local station_status=$?
  if [ -n "$perf_pid" ]; then
    wait "$perf_pid"
    profile_report station /tmp/station.perf
  fi
  local elapsed=$((($(date +%s%N) - started) / 1000000))
  log "station exited $station_status after $elapsed ms"
  local done_slots failed_slots
  # The label's caption names the image kind (a failed boot loader's is "OK n" too); the
  # bar's text tells how the slot ended.
  done_slots=$(grep -c '^slot [0-9]: [^|]* | Job Done' "$result/station.log")
  failed_slots=$(grep -c '^slot [0-9]: [^|]* | \[FAIL\]' "$result/station.log")
  status=0
  if [ "$done_slots" != "$handsets" ] || [ "$failed_slots" != "$unplug" ]; then
    log "station: $done_slots slot(s) done and $failed_slots failed; wanted $handsets and $unplug"
    status=1
  fi
  if [ "$unplug" = 0 ] && [ "$station_status" != 0 ]; then status=1; fi
  if [ "$unplug" = 1 ] && [ "$station_status" != 1 ]; then status=1; fi
  local done_names
  done_names=$(seq -s, -f 'h%g' 1 "$handsets")
  local check_args=(--record-dir "$records" --gadget-pid "$gadget_pid" --done "$done_names"
    --eboot "$images/eboot.eb0" --csc "$images/single.csc" --pda "$images/pda.nb0"
    --phone "$images/phone.bin")
  if [ "$unplug" = 1 ]; then check_args+=(--unfinished "h$total"); fi
  "$bin/vantorel-record-check" "${check_args[@]}" >"$result/record-check.log" 2>&1 || status=1
  local bytes
  bytes=$(stat -c %s "$images/eboot.eb0" "$images/single.csc" "$images/pda.nb0" \
    "$images/phone.bin" | awk '{ s += $1 } END { print s }')
  verdict="real station, $handsets handset(s) Job Done byte for byte ($bytes bytes each,"
  verdict+=" batch $elapsed ms, $((bytes * handsets / (elapsed + 1))) kB/s together)"
  if [ "$unplug" = 1 ]; then verdict+=", the pulled one failed"; fi
  if [ "$status" != 0 ]; then verdict="real station: $(tail -n 1 "$result/record-check.log")"; fi
}

# The station's CPU per MiB it sent over the libusb link, beside bare libusb round trips
# (2048 bytes out, 4 in) that move as many bytes on fresh gadgets in this same machine. A
# figure, not a test: only a failing bare run fails the scenario.
cpu_figure() {
  local station_cpu ui_cpu sent trips per_mib figure
  station_cpu=$(sed -n 's/^vantorel-bench: download used \([0-9.]*\) s of CPU.*/\1/p' \
    "$result/station.err")
  ui_cpu=$(sed -n 's/^vantorel-bench: download used .*; UI thread \([0-9.]*\) s)$/\1/p' \
    "$result/station.err")
  # What the station sent, as the handsets counted it (all of them, the pulled one too):
  # every command and data packet is 2048 bytes, every greeting 4.
  sent=$(cat "$records"/h*/summary.txt | tr ' ' '\n' | awk -F= '
    $1 == "data_packets" || $1 == "commands" { s += $2 * 2048 }
    $1 == "greetings" || $1 == "greetings_refused" { s += $2 * 4 }
    END { print s + 0 }')
  if [ -z "$station_cpu" ] || [ "$sent" = 0 ]; then
    log "no CPU figure: the station's CPU ($station_cpu) or the bytes it sent ($sent) are missing"
    status=1
    return
  fi
  trips=$(((sent + 2048 * handsets - 1) / (2048 * handsets)))
  log "gadgets: ${bare_gadget_args[*]}"
  "$bin/vantorel-gadget-handset" "${bare_gadget_args[@]}" >"$result/bare-gadget.log" 2>&1 &
  gadget_pid=$!
  log "bare round trips: --handsets $handsets --bare-round-trips $trips"
  profiled bare timeout --kill-after=5 240 "$bin/vantorel-usb-probe" --handsets "$handsets" \
    --bare-round-trips "$trips" >"$result/bare.log" 2>&1 || status=1
  stop_gadgets
  per_mib=$(sed -n 's/^usb-vm-probe: bare libusb: .* = \([0-9.]*\) ms\/MiB$/\1/p' \
    "$result/bare.log")
  if [ "$status" != 0 ] || [ -z "$per_mib" ]; then
    verdict="bare round trips: $(tail -n 1 "$result/bare.log")"
    status=1
    return
  fi
  # The window's thread is shown apart: it handles every progress notification and log
  # line, whose number per MiB depends on the images' sizes (percent steps), not on the link.
  figure=$(awk -v cpu="$station_cpu" -v ui="${ui_cpu:-0}" -v sent="$sent" -v bare="$per_mib" 'BEGIN {
    mib = sent / 1048576
    station = cpu * 1000 / mib
    workers = (cpu - ui) * 1000 / mib
    printf "CPU per MiB sent: station %.2f ms (%.3f s over %d bytes), bare libusb %.2f ms, ratio %.2f",
      station, cpu, sent, bare, station / bare
    printf " (without the window thread: %.2f ms, ratio %.2f)", workers, workers / bare }')
  log "$figure"
  log "station: $(grep '^vantorel-bench: download used' "$result/station.err")"
  log "bare: $(grep '^usb-vm-probe: bare libusb' "$result/bare.log")"
  verdict+="; $figure"
}

if [ "$mode" = probe ]; then
  run_probe
  stop_gadgets
else
  run_station
  stop_gadgets
  if [ "$status" = 0 ]; then cpu_figure; fi
  # One line for the host's verdict.
  if [ "$status" = 0 ]; then
    echo "usb-vm-probe: PASS: $verdict" >>"$result/probe.log"
  else
    echo "usb-vm-probe: FAIL: $verdict" >>"$result/probe.log"
  fi
fi
dmesg >"$result/dmesg.log" 2>&1
exit "$status"
