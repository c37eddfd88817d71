// The page around the converter: the fields of the window program, the
// conversion in a worker (PagesmithEngine), the product shown in a sandboxed
// frame and offered for download (PagesmithProduct, product.js), the
// settings kept in the browser. What the
// fields hold, their defaults and every failure's text come from the engine
// (its "ready" message); this file only presents them.
"use strict";

// A block, so that the page's names stay its own: a page opened from disk
// cannot load a module, so this is a classic script.
{
  const STORAGE_KEY = "pagesmith:settings";
  // How the encoding names of the engine read in the list.
  const ENCODING_LABELS = {"ansi": "Windows-1252 (ANSI)", "utf-8": "UTF-8", "utf-16le": "UTF-16 LE", "utf-16be": "UTF-16 BE"};
  // How the products the engine makes read beside "Make:".
  const MAKE_LABELS = {"page": "one page", "site": "a site (zip)"};

  const $ = (id) => document.getElementById(id);
  const form = $("job");
  const template = $("template");
  const templateFile = $("template-file");
  const titleRange = $("title-range");
  const source = $("source");
  const separator = $("separator");
  const title = $("title");
  const encoding = $("encoding");
  const date = $("date");
  const more = $("more");
  const convertButton = $("convert");
  const cancelButton = $("cancel");
  const status = $("status");
  const progressBox = $("progress-box");
  const progress = $("progress");
  const progressText = $("progress-text");
  const result = $("result");
  const dropZone = $("drop-zone");

  // Where each field's message goes: the engine names the field concerned.
  const FIELDS = {
    source: [source, "source-message"],
    memory: [source, "source-message"],
    template: [template, "template-message"],
    templateFile: [templateFile, "template-file-message"],
    titleRange: [titleRange, "title-range-message"],
    encoding: [encoding, "encoding-message"],
    date: [date, "date-message"],
    product: [convertButton, "job-message"],
  };

  let rules = null;  // the engine's: defaults, templates, encodings, messages
  let worker = null;
  let workerReady = false;
  let queued = null;
  let busy = false;
  let ranWith = null;

  // ------------------------------------------------------------ settings

  function readStored() {
    try {
      const stored = JSON.parse(localStorage.getItem(STORAGE_KEY));
      return stored && typeof stored === "object" ? stored : {};
    } catch {
      return {};
    }
  }

  // The choices of the lists, once the engine has told them.
  function fillLists() {
    const own = template.querySelector("option[value='']");
    for (const name of rules.templates) own.before(new Option(name, name));
    for (const name of rules.encodings) encoding.add(new Option(ENCODING_LABELS[name] || name, name));
    for (const name of rules.makes) {
      const label = document.createElement("label");
      const choice = Object.assign(document.createElement("input"), {type: "radio", name: "make", value: name});
      label.append(choice, MAKE_LABELS[name] || name);
      $("make-field").append(label);
    }
  }

  const makeChoice = (name) => form.querySelector("input[name='make'][value='" + name + "']");

  function show(settings) {
    const defaults = rules.defaults;
    const s = {...defaults};
    for (const key of Object.keys(defaults)) if (key in settings) s[key] = settings[key];
    template.value = String(s.template);
    if (template.selectedIndex < 0) template.value = defaults.template;
    titleRange.value = String(s.titleRange);
    separator.checked = Boolean(s.separator);
    title.value = String(s.title);
    encoding.value = String(s.encoding);
    if (encoding.selectedIndex < 0) encoding.value = defaults.encoding;
    date.value = String(s.date);
    (makeChoice(String(s.make)) || makeChoice(defaults.make)).checked = true;
    // A kept day or encoding changes every conversion: not hidden away.
    more.open = date.value !== "" || encoding.value !== defaults.encoding;
    showOwnTemplate();
  }

  const current = () => ({
    template: template.value, titleRange: titleRange.value.trim(), separator: separator.checked, title: title.value,
    encoding: encoding.value, date: date.value.trim(), make: form.querySelector("input[name='make']:checked").value,
  });

  // Kept, like the window's settings file, after a conversion that succeeded:
  // the settings it ran with, whatever the fields hold since.
  function store(settings) {
    try {
      localStorage.setItem(STORAGE_KEY, JSON.stringify(settings));
    } catch {
      // storage switched off
    }
  }

  function reset() {
    try {
      localStorage.removeItem(STORAGE_KEY);
    } catch {
      // storage switched off
    }
    if (rules) show(rules.defaults);
    clearMessages();
    say("The settings are back at their defaults.");
  }

  function showOwnTemplate() {
    $("own-template").hidden = template.value !== "";
  }

  // ------------------------------------------------------------ messages

  function say(text) {
    status.textContent = text;
  }

  function clearMessages() {
    for (const [field, messageId] of Object.values(FIELDS)) {
      field.removeAttribute("aria-invalid");
      $(messageId).textContent = "";
    }
  }

  function fail(field, message) {
    const [target, messageId] = FIELDS[field] || FIELDS.product;
    if (target === encoding || target === date) more.open = true;
    $(messageId).textContent = message;
    if (target !== convertButton) target.setAttribute("aria-invalid", "true");
    target.focus();
    $(messageId).scrollIntoView({block: "nearest"});
    say("Not converted: " + message);
  }

  // The page's own refusals, in the engine's words.
  function refuse(id) {
    const message = rules.messages[id];
    fail(message.field, message.text);
  }

  // Brings what starts outside the window into it: most of it hidden below (a
  // narrow screen, More open) or above (the page scrolled down since).
  function bringIntoView(element, block) {
    const box = element.getBoundingClientRect();
    if (box.top < 0 || box.top > window.innerHeight - Math.min(box.height, window.innerHeight / 2))
      element.scrollIntoView({block});
  }

  // ------------------------------------------------------------ the worker

  function startWorker() {
    workerReady = false;
    worker = PagesmithEngine.createWorker();
    worker.onmessage = (event) => receive(event.data);
    // A worker that fails is replaced only when it had started: one that
    // cannot start (WebAssembly switched off) would fail again at once.
    worker.onerror = (event) => {
      event.preventDefault();
      const started = workerReady;
      finish();
      fail("product", "The converter stopped: " + (event.message || "unknown error"));
      if (started) startWorker();
    };
  }

  function receive(message) {
    if (message.type === "ready") {
      workerReady = true;
      if (!rules) {
        rules = message.rules;
        fillLists();
        show(readStored());
      }
      performance.mark("pagesmith-ready");
      if (queued) {
        worker.postMessage(queued);
        queued = null;
      }
    } else if (message.type === "progress") {
      progress.max = Math.max(message.total, 1);
      progress.value = message.read;
      progressText.textContent = megabytes(message.read) + " of " + megabytes(message.total);
    } else if (message.type === "done") {
      performance.mark("pagesmith-done");
      markSteps(message.steps);
      finish();
      say(PagesmithProduct.show(message));
      bringIntoView(result, "start");
      store(ranWith);
      performance.mark("pagesmith-shown");
    } else if (message.type === "error") {
      finish();
      fail(message.field, message.message);
    }
  }

  // The steps of a conversion as marks on the page's clock, for timing it
  // (bench/web): the worker's come as milliseconds since 1970.
  function markSteps(steps) {
    for (const [step, at] of Object.entries(steps || {}))
      performance.mark("pagesmith-worker-" + step, {startTime: at - performance.timeOrigin});
  }

  const megabytes = (bytes) => (bytes / 1048576).toFixed(1) + " MB";

  function convert() {
    if (busy || !rules) return;
    performance.mark("pagesmith-convert");
    clearMessages();
    const file = source.files[0];
    // The window only beeps at an empty source field; here the field says so.
    if (!file) {
      refuse("chooseSource");
      return;
    }
    const own = template.value === "";
    if (own && !templateFile.files[0]) {
      refuse("chooseTemplateFile");
      return;
    }
    PagesmithProduct.hide();
    busy = true;
    convertButton.setAttribute("aria-disabled", "true");
    cancelButton.hidden = false;
    progress.max = Math.max(file.size, 1);
    progress.value = 0;
    progressText.textContent = "";
    progressBox.hidden = false;
    bringIntoView(progressBox, "nearest");
    say("Converting " + file.name + "…");
    ranWith = current();
    const {template: chosen, make, ...settings} = ranWith;
    const job = {type: "convert", make, source: file, template: own ? templateFile.files[0] : chosen, settings};
    if (workerReady) worker.postMessage(job);
    else queued = job;
  }

  function finish() {
    busy = false;
    queued = null;
    convertButton.removeAttribute("aria-disabled");
    const refocus = document.activeElement === cancelButton;
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
    say("Cancelled. Nothing was written.");
  }

  function chooseEncoding() {
    more.open = true;
    encoding.focus();
    bringIntoView(encoding, "nearest");
  }

  // The browser looks at a picked file's size only when asked, and then
  // holds the file to it: asked at once, a file that later changes is
  // refused on reading instead of read as it is then.
  const keepSize = (input) => input.files[0] && input.files[0].size;

  // ------------------------------------------------------------ dropping

  const carriesFiles = (event) => Boolean(event.dataTransfer) && Array.from(event.dataTransfer.types).includes("Files");

  // The first dropped file becomes the source, as if picked.
  function dropped(event) {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    dropZone.hidden = true;
    const file = event.dataTransfer.files[0];
    if (!file) return;
    const one = new DataTransfer();
    one.items.add(file);
    source.files = one.files;
    keepSize(source);
    clearMessages();
    say("Source file: " + file.name);
  }

  // ------------------------------------------------------------ wiring

  form.addEventListener("submit", (event) => {
    event.preventDefault();
    convert();
  });
  // Enter converts from every field; buttons, links and file pickers keep their own Enter.
  form.addEventListener("keydown", (event) => {
    const t = event.target;
    if (event.key === "Enter" && (t.tagName === "SELECT" || t.type === "checkbox")) {
      event.preventDefault();
      convert();
    }
  });
  document.addEventListener("keydown", (event) => {
    if (event.key === "Escape" && busy) {
      event.preventDefault();
      cancel();
    }
  });
  template.addEventListener("change", showOwnTemplate);
  for (const input of [source, templateFile]) {
    input.addEventListener("change", () => {
      keepSize(input);
      clearMessages();
    });
  }
  cancelButton.addEventListener("click", cancel);
  $("reset").addEventListener("click", reset);
  $("to-encoding").addEventListener("click", chooseEncoding);
  document.addEventListener("dragover", (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = "copy";
    dropZone.hidden = false;
  });
  document.addEventListener("dragleave", (event) => {
    if (!event.relatedTarget) dropZone.hidden = true;
  });
  document.addEventListener("drop", dropped);

  form.hidden = false;
  startWorker();
}
