#!/bin/bash
# Runs inside the virtual machine of scripts/usb-vm-test, chrooted into the host's root
# (read-only, with the guest's /proc, /sys, /dev and a fresh /tmp and /run): sets up one
# configfs gadget with a FunctionFS instance per handset, serves them with
# vantorel-gadget-handset and runs vantorel-usb-probe against them. Exits with the probe's
# status; the logs go to RESULT.
#
# usage: guest_scenario.sh BUILD RESULT HANDSETS UNPLUG VICTIM_PACKET
set -u

build=$1
result=$2
handsets=$3
unplug=$4
victim_packet=$5
total=$((handsets + unplug))
bin=$build/tools/usb_vm
gadgets=/sys/kernel/config/usb_gadget
records=/tmp/records

log() { echo "guest: $*"; }

log "kernel $(uname -r), dummy_hcd num=$(cat /sys/module/dummy_hcd/parameters/num 2>/dev/null)," \
  "controllers: $(ls /sys/class/udc | tr '\n' ' ')"
if [ "$(ls /sys/class/udc | wc -l)" -lt "$total" ]; then
  log "fewer device controllers than the $total handsets"
  exit 1
fi

# One gadget per controller: vendor:product 1209:0001, the gadget's name as its serial
# number, one configuration holding the FunctionFS function.
gadget_args=()
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
    # The handset that is unplugged mid-transfer keeps silent at one data packet.
    gadget_args+=(--missing-reply-at "$victim_packet")
  fi
  gadget_args+=(--gadget "$name:dummy_udc.$((i - 1))")
done

"$bin/vantorel-gadget-handset" --record-dir "$records" "${gadget_args[@]}" \
  >"$result/gadget.log" 2>&1 &
gadget_pid=$!

probe_args=(--handsets "$handsets" --record-dir "$records" --gadget-pid "$gadget_pid")
if [ "$unplug" = 1 ]; then
  probe_args+=(--victim "h$total" --victim-packet "$victim_packet")
fi
log "probe ${probe_args[*]}"
started=$(date +%s%N)
timeout --kill-after=5 300 "$bin/vantorel-usb-probe" "${probe_args[@]}" >"$result/probe.log" 2>&1
status=$?
log "probe exited $status after $((($(date +%s%N) - started) / 1000000)) ms"

kill -TERM "$gadget_pid" 2>/dev/null
for _ in $(seq 1 100); do
  kill -0 "$gadget_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$gadget_pid" 2>/dev/null; then
  log "the gadget program did not end on SIGTERM"
  kill -KILL "$gadget_pid"
  status=1
fi
wait "$gadget_pid" 2>/dev/null
dmesg >"$result/dmesg.log" 2>&1
exit "$status"
