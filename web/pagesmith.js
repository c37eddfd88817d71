// The page around the converter: the fields of the window program, the
// conversion in a worker (PagesmithEngine), the product shown in a sandboxed
// frame and offered for download, the settings kept in the browser.
(function () {
  'use strict';

  var STORAGE_KEY = 'pagesmith:settings';
  // The window program's defaults; the first template of its sorted list.
  var DEFAULTS = { template: 'Navigator', titleRange: '1', separator: true, title: '', encoding: 'ansi', date: '' };
  // Larger products are offered for download only: a frame holding them
  // would take the tab's memory for a preview nobody can read through.
  var PREVIEW_LIMIT = 64 * 1024 * 1024;

  function $(id) { return document.getElementById(id); }
  var form = $('job'), template = $('template'), templateFile = $('template-file'), titleRange = $('title-range'),
    source = $('source'), separator = $('separator'), title = $('title'), encoding = $('encoding'), date = $('date'),
    more = $('more'), convertButton = $('convert'), cancelButton = $('cancel'), status = $('status'),
    progressBox = $('progress-box'), progress = $('progress'), progressText = $('progress-text'),
    result = $('result'), preview = $('preview'), download = $('download'), dropZone = $('drop-zone');

  // Where each field's message goes: the worker names the field concerned.
  var FIELDS = {
    source: [source, 'source-message'],
    memory: [source, 'source-message'],
    template: [template, 'template-message'],
    titleRange: [titleRange, 'title-range-message'],
    encoding: [encoding, 'encoding-message'],
    date: [date, 'date-message'],
    product: [convertButton, 'job-message']
  };

  var worker = null, workerReady = false, queued = null, busy = false, ranWith = null,
    product = null, productUrl = null;
  var number = new Intl.NumberFormat('en');

  // ------------------------------------------------------------ settings

  function readStored() {
    try {
      var stored = JSON.parse(localStorage.getItem(STORAGE_KEY));
      return stored && typeof stored === 'object' ? stored : {};
    } catch (e) { return {}; }
  }

  function show(settings) {
    var s = {};
    Object.keys(DEFAULTS).forEach(function (k) { s[k] = k in settings ? settings[k] : DEFAULTS[k]; });
    template.value = String(s.template);
    if (template.selectedIndex < 0) template.value = DEFAULTS.template;
    titleRange.value = String(s.titleRange).replace(/\D/g, '');
    separator.checked = !!s.separator;
    title.value = String(s.title);
    encoding.value = String(s.encoding);
    if (encoding.selectedIndex < 0) encoding.value = DEFAULTS.encoding;
    date.value = String(s.date);
    // A kept day or encoding changes every conversion: not hidden away.
    more.open = date.value !== '' || encoding.value !== DEFAULTS.encoding;
    showOwnTemplate();
  }

  function current() {
    return { template: template.value, titleRange: titleRange.value, separator: separator.checked,
             title: title.value, encoding: encoding.value, date: date.value.trim() };
  }

  // Kept, like the window's settings file, after a conversion that succeeded:
  // the settings it ran with, whatever the fields hold since.
  function store(settings) {
    try { localStorage.setItem(STORAGE_KEY, JSON.stringify(settings)); } catch (e) { /* storage switched off */ }
  }

  function reset() {
    try { localStorage.removeItem(STORAGE_KEY); } catch (e) { /* storage switched off */ }
    show(DEFAULTS);
    clearMessages();
    say('The settings are back at their defaults.');
  }

  function showOwnTemplate() { $('own-template').hidden = template.value !== ''; }

  // The header styles field takes digits only, as the window's does; empty
  // counts as 0 and only the low 32 bits of a long number count.
  function titleRangeNumber() {
    return Number(BigInt.asIntN(32, BigInt(titleRange.value || '0')));
  }

  // ------------------------------------------------------------ messages

  function say(text) { status.textContent = text; }

  function clearMessages() {
    Object.keys(FIELDS).forEach(function (k) {
      FIELDS[k][0].removeAttribute('aria-invalid');
      $(FIELDS[k][1]).textContent = '';
    });
  }

  function fail(field, message) {
    var target = FIELDS[field] || FIELDS.product;
    if (target[0] === encoding || target[0] === date) more.open = true;
    $(target[1]).textContent = message;
    if (target[0] !== convertButton) target[0].setAttribute('aria-invalid', 'true');
    target[0].focus();
    $(target[1]).scrollIntoView({ block: 'nearest' });
    say('Not converted: ' + message);
  }

  // ------------------------------------------------------------ the worker

  function startWorker() {
    workerReady = false;
    worker = PagesmithEngine.createWorker();
    worker.onmessage = function (event) { receive(event.data); };
    // A worker that fails is replaced only when it had started: one that
    // cannot start (WebAssembly switched off) would fail again at once.
    worker.onerror = function (event) {
      event.preventDefault();
      var started = workerReady;
      finish();
      fail('product', 'The converter stopped: ' + (event.message || 'unknown error'));
      if (started) startWorker();
    };
  }

  function receive(message) {
    if (message.type === 'ready') {
      workerReady = true;
      performance.mark('pagesmith-ready');
      if (queued) { worker.postMessage(queued); queued = null; }
    } else if (message.type === 'progress') {
      progress.max = Math.max(message.total, 1);
      progress.value = message.read;
      progressText.textContent = megabytes(message.read) + ' of ' + megabytes(message.total);
    } else if (message.type === 'done') {
      finish();
      showProduct(message);
      store(ranWith);
    } else if (message.type === 'error') {
      finish();
      fail(message.field, message.message);
    }
  }

  function megabytes(bytes) { return (bytes / 1048576).toFixed(1) + ' MB'; }

  function templateBlob(name) {
    var bytes = atob(PagesmithTemplates[name]), data = new Uint8Array(bytes.length);
    for (var i = 0; i < bytes.length; i++) data[i] = bytes.charCodeAt(i);
    return new Blob([data]);
  }

  function convert() {
    if (busy) return;
    clearMessages();
    var file = source.files[0];
    // The window only beeps at an empty source field; here the field says so.
    if (!file) { fail('source', 'Choose the export first.'); return; }
    var own = template.value === '';
    var chosen = own ? templateFile.files[0] : templateBlob(template.value);
    if (!chosen) { fail('template', 'Cannot read template file'); return; }
    hideProduct();
    busy = true;
    convertButton.setAttribute('aria-disabled', 'true');
    cancelButton.hidden = false;
    progress.max = Math.max(file.size, 1);
    progress.value = 0;
    progressText.textContent = '';
    progressBox.hidden = false;
    say('Converting ' + file.name + '…');
    ranWith = current();
    var job = {
      type: 'convert', source: file, templateName: own ? chosen.name.replace(/\.tpl\.txt$/i, '') : template.value,
      template: chosen,
      settings: { titleRange: titleRangeNumber(), separator: separator.checked, title: title.value,
                  encoding: encoding.value, date: date.value.trim() }
    };
    if (workerReady) worker.postMessage(job); else queued = job;
  }

  function finish() {
    busy = false;
    queued = null;
    convertButton.removeAttribute('aria-disabled');
    var refocus = document.activeElement === cancelButton;
    cancelButton.hidden = true;
    progressBox.hidden = true;
    if (refocus) convertButton.focus();
  }

  // Stopping a conversion stops its worker; the next one gets a fresh worker.
  function cancel() {
    if (!busy) return;
    worker.terminate();
    finish();
    startWorker();
    say('Cancelled. Nothing was written.');
  }

  // ------------------------------------------------------------ the product

  function showProduct(done) {
    product = done;
    productUrl = URL.createObjectURL(done.blob);
    $('result-heading').textContent = done.name;
    download.textContent = 'Download ' + done.name;
    $('pages').textContent = number.format(done.pages);
    $('bytes').textContent = number.format(done.bytes);
    $('time').textContent = done.ms < 1000 ? Math.round(done.ms) + ' ms' : (done.ms / 1000).toFixed(2) + ' s';
    var small = done.bytes <= PREVIEW_LIMIT;
    preview.hidden = !small;
    $('no-preview').hidden = small;
    if (small) preview.src = productUrl;
    result.hidden = false;
    // On a narrow screen the product sits below the form: bring it up.
    if (result.getBoundingClientRect().top > window.innerHeight) result.scrollIntoView({ block: 'start' });
    say('Converted: ' + done.name + ', ' + number.format(done.pages) + ' pages, ' +
        number.format(done.bytes) + ' bytes.');
  }

  function hideProduct() {
    result.hidden = true;
    preview.removeAttribute('src');
    if (productUrl) URL.revokeObjectURL(productUrl);
    product = productUrl = null;
  }

  function save() {
    if (!product) return;
    var a = document.createElement('a');
    a.href = productUrl;
    a.download = product.name;
    document.body.appendChild(a);
    a.click();
    a.remove();
  }

  // The browser looks at a picked file's size only when asked, and then
  // holds the file to it: asked at once, a file that later changes is
  // refused on reading instead of read as it is then.
  function keepSize(input) { return input.files[0] && input.files[0].size; }

  // ------------------------------------------------------------ dropping

  function carriesFiles(event) {
    return event.dataTransfer && Array.prototype.indexOf.call(event.dataTransfer.types, 'Files') >= 0;
  }

  // The first dropped file becomes the source, as if picked.
  function dropped(event) {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    dropZone.hidden = true;
    var file = event.dataTransfer.files[0];
    if (!file) return;
    var one = new DataTransfer();
    one.items.add(file);
    source.files = one.files;
    keepSize(source);
    clearMessages();
    say('Source file: ' + file.name);
  }

  // ------------------------------------------------------------ wiring

  form.addEventListener('submit', function (event) { event.preventDefault(); convert(); });
  // Enter converts from every field; buttons, links and file pickers keep their own Enter.
  form.addEventListener('keydown', function (event) {
    var t = event.target;
    if (event.key === 'Enter' && (t.tagName === 'SELECT' || t.type === 'checkbox')) {
      event.preventDefault();
      convert();
    }
  });
  document.addEventListener('keydown', function (event) {
    if (event.key === 'Escape' && busy) { event.preventDefault(); cancel(); }
  });
  titleRange.addEventListener('input', function () {
    var digits = titleRange.value.replace(/\D/g, '');
    if (digits !== titleRange.value) titleRange.value = digits;
  });
  template.addEventListener('change', showOwnTemplate);
  [source, templateFile].forEach(function (input) {
    input.addEventListener('change', function () { keepSize(input); clearMessages(); });
  });
  cancelButton.addEventListener('click', cancel);
  $('reset').addEventListener('click', reset);
  download.addEventListener('click', save);
  document.addEventListener('dragover', function (event) {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
    dropZone.hidden = false;
  });
  document.addEventListener('dragleave', function (event) {
    if (!event.relatedTarget) dropZone.hidden = true;
  });
  document.addEventListener('drop', dropped);

  show(readStored());
  startWorker();
})();
