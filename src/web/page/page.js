// SPDX-License-Identifier: GPL-3.0-or-later
// The status page: reads /api/status and /api/samples, then follows /api/events.
'use strict';

const token = new URLSearchParams(window.location.search).get('token');
const rows = [];
let status = null;
let statusReceived = 0;
let chart = null;
let quantity = 'od';
let loading = null;

function withToken(path) {
  if (!token) return path;
  return path + (path.includes('?') ? '&' : '?') + 'token=' + encodeURIComponent(token);
}

function text(id, value) {
  document.getElementById(id).textContent = value;
}

// OD and CalcOD with the 4 decimals the table keeps of them, minutes with 3.
function numberText(value) {
  return value === null || value === undefined ? 'n. c.' : value.toFixed(4);
}

function elapsedText(seconds) {
  const two = (n) => String(n).padStart(2, '0');
  return two(Math.floor(seconds / 3600)) + ':' + two(Math.floor(seconds / 60) % 60) + ':' + two(seconds % 60);
}

function secondsOf(elapsed) {
  const parts = elapsed.split(':').map(Number);
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

function showElapsed() {
  if (!status) return;
  let seconds = secondsOf(status.elapsed);
  if (status.state === 'running') seconds += Math.floor((Date.now() - statusReceived) / 1000);
  text('elapsed', elapsedText(seconds));
}

function showStatus() {
  text('title', status.title || 'Nephodar');
  document.title = (status.title ? status.title + ' - ' : '') + 'Nephodar';
  text('device', status.device || '-');
  const state = document.getElementById('state');
  state.textContent = status.state;
  state.className = 'state ' + status.state.replace(' ', '-');
  text('start', status.startDate ? status.startDate + ' ' + status.startTime : '-');
  text('samples', String(status.samples));
  text('od', status.samples > 0 ? numberText(status.od) : '-');
  text('calcOd', status.samples > 0 ? numberText(status.calcOd) : '-');
  text('calcOdLabel', status.formulaName ? 'CalcOD (' + status.formulaName + ')' : 'CalcOD');
  const od = status.alarm.od;
  const odAlarm = document.getElementById('odAlarm');
  odAlarm.textContent = (od.on ? 'on, ' + od.direction + ' ' + od.threshold : 'off') + (od.ringing ? ' - RINGING' : '');
  odAlarm.className = od.ringing ? 'ringing' : '';
  const timer = status.alarm.timer;
  const timerAlarm = document.getElementById('timerAlarm');
  timerAlarm.textContent = timer.on ? (timer.ringing ? 'RINGING' : 'on, ' + timer.remaining + ' left') : 'off';
  timerAlarm.className = timer.ringing ? 'ringing' : '';
  const body = document.querySelector('#growth tbody');
  body.replaceChildren(...status.growth.map((line) => {
    const row = document.createElement('tr');
    for (const cell of [line.name, line.value]) {
      const td = document.createElement('td');
      td.textContent = cell;
      row.appendChild(td);
    }
    return row;
  }));
  showElapsed();
}

function drawChart() {
  const label = quantity === 'od' ? 'OD' : 'CalcOD';
  const data = rows.map((row) => [row.minutes, row[quantity]]);
  document.body.dataset.points = String(rows.length);
  text('points', rows.length + (rows.length === 1 ? ' point' : ' points'));
  if (data.length === 0) return;
  const options = { labels: ['Minutes', label], xlabel: 'Time (min)', ylabel: label,
    drawPoints: true, pointSize: 2, legend: 'follow', connectSeparatedPoints: true,
    // Plain decimals, wide enough for 0.0045: small readings would otherwise get labels in
    // exponent form, broken over two lines.
    axes: { x: { valueFormatter: (value) => value.toFixed(3) },
      y: { axisLabelWidth: 64, axisLabelFormatter: (value) => String(+value.toFixed(4)),
        valueFormatter: (value) => value.toFixed(4) } } };
  if (!chart) chart = new Dygraph(document.getElementById('chart'), data, options);
  else chart.updateOptions(Object.assign({ file: data }, options));
  chart.setAnnotations(rows.filter((row) => row.note).map((row) => ({
    series: label, x: row.minutes, shortText: 'N', text: row.note })));
}

async function getJson(path) {
  const response = await fetch(withToken(path), { cache: 'no-store' });
  if (!response.ok) throw new Error(path + ': ' + response.status);
  return response.json();
}

async function loadStatus() {
  status = await getJson('api/status');
  statusReceived = Date.now();
  showStatus();
}

// The rows after the last one held; all of them again after a reset.
async function loadSamples(all) {
  if (all) rows.length = 0;
  const since = rows.length ? rows[rows.length - 1].number + 1 : 0;
  const answer = await getJson('api/samples?since=' + since);
  for (const row of answer.samples)
    if (!rows.length || row.number > rows[rows.length - 1].number) rows.push(row);
  drawChart();
}

function reload(all) {
  if (!loading) {
    loading = Promise.all([loadSamples(all), loadStatus()]).catch(() => {}).finally(() => { loading = null; });
  }
  return loading;
}

function follow() {
  const events = new EventSource(withToken('api/events'));
  const connection = document.getElementById('connection');
  events.onopen = () => { connection.textContent = 'live'; connection.className = 'connection'; reload(false); };
  events.onerror = () => { connection.textContent = 'connection lost, retrying'; connection.className = 'connection lost'; };
  events.addEventListener('sample', (event) => {
    const row = JSON.parse(event.data);
    const last = rows.length ? rows[rows.length - 1].number : -1;
    if (row.number === last + 1 || (rows.length === 0 && row.number <= 1)) {
      rows.push(row);
      drawChart();
    } else if (row.number > last) {
      reload(false);
    }
    loadStatus().catch(() => {});
  });
  events.addEventListener('note', (event) => {
    const row = JSON.parse(event.data);
    const held = rows.find((r) => r.number === row.number);
    if (held) { held.note = row.note; drawChart(); }
  });
  events.addEventListener('state', () => loadStatus().catch(() => {}));
  events.addEventListener('reset', () => reload(true));
}

for (const input of document.querySelectorAll('input[name=quantity]')) {
  input.addEventListener('change', () => { quantity = input.value; chart = null; document.getElementById('chart').replaceChildren(); drawChart(); });
}
for (const id of ['tsv', 'xlsx']) {
  const link = document.getElementById(id);
  link.href = withToken(link.getAttribute('href'));
}
setInterval(showElapsed, 1000);
reload(true).then(follow);
