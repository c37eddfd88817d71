// One style for the page's and the worker's JavaScript: modern (const and
// let, arrow functions), strict, and ESLint's recommended rules. Run by
// scripts/lint-web.
import js from "@eslint/js";
import globals from "globals";

export default [
  {
    files: ["web/**/*.js"],
    ...js.configs.recommended,
    languageOptions: {ecmaVersion: 2022, sourceType: "script", globals: globals.browser},
    rules: {
      ...js.configs.recommended.rules,
      "eqeqeq": "error",
      "no-var": "error",
      "object-shorthand": "error",
      "prefer-arrow-callback": "error",
      "prefer-const": "error",
      "strict": ["error", "global"],
    },
  },
  {
    files: ["web/pagesmith.js"],
    languageOptions: {globals: {PagesmithEngine: "readonly", PagesmithProduct: "readonly"}},
  },
  {
    // The worker runs after the module's glue, its bytes and pako's source (make_engine_script.py).
    files: ["web/engine/worker.js", "web/engine/worker_threads.js", "web/engine/worker_deflaters.js"],
    languageOptions: {globals: {...globals.worker, createPagesmithModule: "readonly", pagesmithWasm: "readonly",
                                pakoZlibSource: "readonly"}},
  },
  {
    // Filled in when the page is built (make_app_files.py).
    files: ["web/app/service-worker.js"],
    languageOptions: {globals: globals.serviceworker},
  },
];
