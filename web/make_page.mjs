// Inlines the page into one file that needs nothing else:
//   node make_page.mjs PAGE-FOLDER CORE-JS SAMPLE-JPEG VERSION MODULES OUTPUT [TITLE=FILE...]
// The page's code is its scripts (pageScripts) one after another, in one
// script element; the teacher's guide (docs/teaching.md, beside the page
// folder's parent) goes in as text.
// The page's style, its code, the worker's code (the core's JavaScript with
// the WebAssembly inside, the video muxer and the GIF encoder from MODULES
// (the node_modules folder npm installed from web/package-lock.json), then
// worker.js), the sample chart (base64) and the
// licence texts of what the core is built from (TITLE=FILE, word for word) go
// where index.html's placeholders are. Written beside OUTPUT, then renamed.
import { existsSync, readFileSync, renameSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

const [folder, coreJs, sample, version, modules, output, ...notices] = process.argv.slice(2);
if (!output) {
  console.error('usage: node make_page.mjs PAGE-FOLDER CORE-JS SAMPLE-JPEG VERSION MODULES OUTPUT');
  process.exit(2);
}
const read = (path) => readFileSync(path, 'utf8');
const pageScripts = ['main.js', 'export.js', 'link.js', 'teach.js'];

// Text inside a script or style element ends at its closing tag: none may
// appear in what is inlined.
function inline(tag, attributes, text, what) {
  if (new RegExp('</' + tag, 'i').test(text)) {
    console.error(`make_page: ${what} holds "</${tag}" and cannot be inlined`);
    process.exit(1);
  }
  return `<${tag}${attributes}>\n${text}\n</${tag}>`;
}

const escape = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
const noticeHtml = notices.map((notice) => {
  const at = notice.indexOf('=');
  return `<h3>${escape(notice.slice(0, at))}</h3>\n<pre>${escape(read(notice.slice(at + 1)).trim())}</pre>`;
}).join('\n');

for (const name of ['mediabunny', 'gifenc']) {
  if (!existsSync(join(modules, name, 'package.json'))) {
    console.error(`make_page: ${modules} has no ${name}: install web/package-lock.json there with npm ci`
                  + ' (bash scripts/test.sh web does)');
    process.exit(1);
  }
}
// mediabunny's bundle declares the global Mediabunny itself; gifenc's is a
// CommonJS module, whose exports become the global gifenc.
const videoLibraries = read(join(modules, 'mediabunny', 'dist', 'bundles', 'mediabunny.min.cjs')) + '\n'
  + 'const gifenc = (() => {\nconst module = { exports: {} };\nconst exports = module.exports;\n'
  + read(join(modules, 'gifenc', 'dist', 'gifenc.js')) + '\nreturn module.exports;\n})();\n';

const parts = {
  '<!-- NOTICES -->': noticeHtml,
  '<!-- STYLE -->': inline('style', '', read(join(folder, 'style.css')), 'style.css'),
  '<!-- SAMPLE -->': inline('script', ' type="text/plain" id="sample-chart"',
                            readFileSync(sample).toString('base64'), 'the sample'),
  '<!-- WORKER -->': inline('script', ' type="text/plain" id="worker-code"',
                            read(coreJs) + '\n' + videoLibraries + read(join(folder, 'worker.js')), 'the worker'),
  '<!-- MAIN -->': inline('script', '', pageScripts.map((name) => read(join(folder, name))).join('\n'), 'the page\'s code'),
  '<!-- TEACHING -->': escape(read(join(folder, '..', '..', 'docs', 'teaching.md'))),
};

let page = read(join(folder, 'index.html'));
for (const [placeholder, text] of Object.entries(parts)) {
  if (!page.includes(placeholder)) {
    console.error(`make_page: index.html has no ${placeholder}`);
    process.exit(1);
  }
  // A function, so that "$" in the text is taken as it is.
  page = page.replace(placeholder, () => text);
}
page = page.replaceAll('@VERSION@', version);
writeFileSync(output + '.tmp', page);
renameSync(output + '.tmp', output);
