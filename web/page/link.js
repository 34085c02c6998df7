// The view as a link: the settings in the page's address after '#', with
// lumirun-render's option names and values, such as
//   #speed=90&direction=1&observer=320,240&effects=light-time&doppler=colour
// Opening such a link sets the controls and opens the sample chart; the
// observer it names also goes to the next photo opened. A key the page does
// not know, or a value it cannot take, is left out with a quiet note.

// Each key: how its value sets the controls (false when it cannot). A new
// option of the command line is one more entry here and one more part in
// linkFragment.
const DIRECTIONS = { 0: 0, 1: 1, 2: 2, 'left-to-right': 0, 'top-to-bottom': 1, 'straight-at-it': 2 };
const QUALITIES = { smooth: 'smooth', 1: 'low', 2: 'medium', 3: 'high', 4: 'ultra',
                    low: 'low', medium: 'medium', high: 'high', ultra: 'ultra' };
let linkObserver = null;  // [x, y] from a link, for the photo opened next
let linkDoppler = 0;      // the link's Doppler choice, while it is read
let linkDopplerMap = false;
let linkRefused = '';     // the note on a Doppler choice its effects cannot take

const linkKeys = {
  speed(value) {
    const percent = Number(speedText(value));
    if (value === '' || !(percent >= 0 && percent <= SPEED_MAX))
      return false;
    $('speed').value = speedText(value);
    $('speed-slider').value = percentToSlider(percent);
    return true;
  },
  direction(value) {
    if (!(value in DIRECTIONS))
      return false;
    document.querySelector(`input[name=direction][value="${DIRECTIONS[value]}"]`).checked = true;
    return true;
  },
  observer(value) {
    const match = /^(-?\d+),(-?\d+)$/.exec(value);
    if (!match)
      return false;
    linkObserver = [Number(match[1]), Number(match[2])];
    $('observer-x').value = linkObserver[0];
    $('observer-y').value = linkObserver[1];
    return true;
  },
  quality(value) {
    if (!(value in QUALITIES))
      return false;
    $('quality').value = QUALITIES[value];
    return true;
  },
  effects: setEffects,
  // --doppler (no value) is colour and brightness, --doppler=colour the
  // colour alone; without the key, none. Its switches are set once the
  // effects are known (applyLink).
  doppler(value) {
    if (value !== '' && value !== 'colour')
      return false;
    linkDoppler = value === 'colour' ? 1 : 2;
    return true;
  },
  'doppler-map'(value) {
    linkDopplerMap = value === '';
    return linkDopplerMap;
  },
  exposure(value) {
    const stops = Number(value);
    if (value === 'auto') {
      $('exposure-mode').value = 'auto';
    } else if (value !== '' && stops >= -20 && stops <= 20) {
      $('exposure-mode').value = 'stops';
      $('exposure').value = value;
    } else {
      return false;
    }
    $('exposure').disabled = $('exposure-mode').value === 'auto';
    return true;
  },
};

// Sets the controls from a fragment ("speed=90&..."); returns the notes on
// what was left out.
function applyLink(fragment) {
  const notes = [];
  setEffects('all');
  linkDoppler = 0;
  linkDopplerMap = false;
  linkObserver = null;
  for (const part of fragment.split('&')) {
    if (!part)
      continue;
    const at = part.indexOf('=');
    let key = part;
    let value = '';
    try {
      key = decodeURIComponent(at < 0 ? part : part.slice(0, at));
      value = at < 0 ? '' : decodeURIComponent(part.slice(at + 1));
    } catch (error) {
      notes.push(part);
      continue;
    }
    const set = Object.prototype.hasOwnProperty.call(linkKeys, key) ? linkKeys[key] : null;
    if (!set || !set(value))
      notes.push(key + (at < 0 ? '' : '=' + value));
  }
  // lumirun-render refuses --doppler and --doppler-map without light
  // travel time, and the two together; here the Doppler keys give way,
  // with a note of their own.
  const refused = [];
  if (!$('effect-light-time').checked) {
    if (linkDoppler)
      refused.push(linkDoppler === 1 ? 'doppler=colour' : 'doppler');
    if (linkDopplerMap)
      refused.push('doppler-map');
    linkRefused = refused.length ? `This link's ${refused.join(', ')} ${refused.length > 1 ? 'need' : 'needs'}`
      + ' light travel time: left out.' : '';
    setDoppler(0, false);
  } else {
    linkRefused = linkDoppler && linkDopplerMap ? 'This link\'s doppler-map shows D instead of colours: left out.' : '';
    setDoppler(linkDoppler, linkDopplerMap);
  }
  return notes;
}

// The fragment for the controls as they are.
function linkFragment() {
  const s = settings();
  const parts = [`speed=${s.speed}`, `direction=${s.direction}`, `observer=${s.observerX},${s.observerY}`];
  if (s.quality !== 'smooth')
    parts.push(`quality=${s.quality}`);
  if (s.effects !== 'all')
    parts.push(`effects=${s.effects}`);
  if (s.dopplerMap)
    parts.push('doppler-map');
  if (s.doppler === 1)
    parts.push('doppler=colour');
  else if (s.doppler === 2)
    parts.push('doppler');
  if (s.exposure !== 'auto')
    parts.push(`exposure=${s.exposure}`);
  return parts.join('&');
}

function openLink() {
  const fragment = location.hash.replace(/^#/, '');
  if (!fragment)
    return;
  const notes = applyLink(fragment);
  linkNote = notes.length
    ? 'This link\'s ' + notes.join(', ') + (notes.length > 1 ? ' are' : ' is') + ' not known here: left out.' : '';
  linkNote = [linkNote, linkRefused].filter(Boolean).join(' ');
  if (!source && !pendingSource) {
    $('sample').click();
  } else {
    setStatus(linkNote);
    linkNote = '';
    requestPreview();
  }
}

// The address follows the controls, so that a bookmark keeps the view: at
// most every quarter second, since a drag changes them for every preview
// and browsers refuse (and warn about) addresses changed much faster.
let writtenFragment = '';
let addressTimer = 0;
pageEvents.addEventListener('settings', () => {
  writtenFragment = linkFragment();
  $('link').value = location.href.replace(/#.*$/, '') + '#' + writtenFragment;
  if (addressTimer)
    return;
  addressTimer = setTimeout(() => {
    addressTimer = 0;
    try {
      history.replaceState(null, '', '#' + writtenFragment);
    } catch (error) {
      // A page whose address cannot change (some viewers' frames) keeps the field.
    }
  }, 250);
});
// A link's observer, in place of the left edge, on the picture opened next;
// its note after the picture's size.
let linkNote = '';
pageEvents.addEventListener('opened', () => {
  if (linkNote)
    setStatus($('status').textContent + ' ' + linkNote);
  linkNote = '';
  if (!linkObserver)
    return;
  $('observer-x').value = linkObserver[0];
  $('observer-y').value = linkObserver[1];
  if (source.name !== 'sample.jpg')
    linkObserver = null;
});
window.addEventListener('hashchange', () => {
  if (location.hash.replace(/^#/, '') !== writtenFragment)
    openLink();
});
$('copy-link').addEventListener('click', async () => {
  $('link').value = location.href.replace(/#.*$/, '') + '#' + linkFragment();
  $('link').select();
  try {
    await navigator.clipboard.writeText($('link').value);
    setStatus('Link copied.');
  } catch (error) {
    setStatus('Copy the link from the field beside the button.');
  }
});

openLink();
