// The live page: the eight slots as the station shows them, the counts and the last
// handsets. It starts from the state the page came with and follows the station's events.
"use strict";

const kMostHandsetRows = 10;

// Black or white, whichever reads better on the label's colour.
function readableOn(background) {
  const m = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(background || "");
  if (!m) return "#000000";
  const [r, g, b] = m.slice(1).map((h) => parseInt(h, 16) / 255);
  const luminance = 0.2126 * r + 0.7152 * g + 0.0722 * b;
  return luminance > 0.45 ? "#000000" : "#ffffff";
}

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function slotNode(number) {
  let node = document.getElementById("slot-" + number);
  if (node) return node;
  node = element("div", "slot");
  node.id = "slot-" + number;
  node.append(element("div", "label"), element("div", "bar"), element("div", "line"),
              element("div", "where"));
  node.querySelector(".bar").append(element("div", "fill"), element("span", "text"),
                                    element("span", "text-over"));
  document.getElementById("slots").append(node);
  return node;
}

function showSlot(slot) {
  const node = slotNode(slot.slot);
  node.dataset.state = slot.state;
  const label = node.querySelector(".label");
  label.textContent = slot.caption;
  label.style.backgroundColor = slot.background;
  label.style.color = readableOn(slot.background);
  const filled = Math.max(0, Math.min(100, slot.progress));
  node.querySelector(".fill").style.width = filled + "%";
  // As the window's bar: its own text, else the percentage; white where the bar is filled.
  const text = slot.bar_text !== "" ? slot.bar_text : slot.progress + "%";
  node.querySelector(".text").textContent = text;
  const over = node.querySelector(".text-over");
  over.textContent = text;
  over.style.clipPath = "inset(0 " + (100 - filled) + "% 0 0)";
  node.querySelector(".line").textContent = slot.line;
  node.querySelector(".where").textContent =
      [slot.port ? "port " + slot.port : "", slot.state].filter(Boolean).join(" · ");
}

function showCounts(counts) {
  document.getElementById("counts").textContent =
      "Currently " + (counts.detected - counts.failed) + " device(s) detected. " +
      counts.done + " done, " + counts.failed + " failed.";
}

function showStation(station) {
  station.slots.forEach(showSlot);
  showCounts(station.counts);
}

function addHandset(report, atTop) {
  const body = document.querySelector("#handsets tbody");
  const row = element("tr");
  const port = (/#([^#]+)#[^#]*$/.exec(report.device || "") || [])[1] || "";
  row.append(element("td", "", report.ended), element("td", "", String(report.slot)),
             element("td", report.result, report.result), element("td", "", report.status_text),
             element("td", "", port), element("td", "", String(report.seconds)));
  if (atTop) body.prepend(row); else body.append(row);
  while (body.rows.length > kMostHandsetRows) body.deleteRow(-1);
}

function follow() {
  const link = document.getElementById("link");
  const events = new EventSource("/api/v1/events");
  events.onopen = () => { link.textContent = "live"; };
  events.onerror = () => { link.textContent = "reconnecting…"; };
  events.addEventListener("snapshot", (e) => showStation(JSON.parse(e.data)));
  events.addEventListener("slot", (e) => {
    const slot = JSON.parse(e.data);
    showSlot(slot);
    showCounts(slot.counts);
  });
  events.addEventListener("counts", (e) => showCounts(JSON.parse(e.data)));
  events.addEventListener("handset", (e) => addHandset(JSON.parse(e.data), true));
}

const initial = JSON.parse(document.getElementById("initial").textContent);
if (initial) {
  showStation(initial.station);
  initial.handsets.forEach((report) => addHandset(report, false));
}
follow();
