// The browser build's page in headless Chromium, against the desktop build:
//   node web_page_test.js PAGE_DIR SHOW_DIR ZOLT_CAPTURE ZOLT_WEB
// PAGE_DIR is what zolt-web wrote for the show in SHOW_DIR. Checks that the
// page loads and plays with no console error; that stills at ten music
// times match zolt-capture's stills of the same times; that the bench hook
// reports; that pages without their pack, with a damaged pack or without
// their music show the player's messages; and that zolt-web refuses a show
// it cannot write, leaving nothing behind.
"use strict";
const assert = require("assert");
const {execFileSync, spawnSync} = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");
const {PNG} = require("pngjs");

const [pageDir, showDir, capture, zoltWeb] = process.argv.slice(2).map((p) => path.resolve(p));
const chromium = process.env.ZOLT_CHROMIUM || "/usr/bin/chromium";
// WebGL 2 through ANGLE on the system's EGL (Mesa's llvmpipe on a machine without a GPU,
// as the desktop build draws).
const chromiumArgs = ["--no-sandbox", "--use-angle=gl-egl",
                      "--ignore-gpu-blocklist", "--autoplay-policy=no-user-gesture-required"];
// A still matches when at least 99% of its pixels are within this much of
// the desktop capture's in every channel.
const kTolerance = 8;
const kShare = 0.99;
// In each effect, in two crossfades, in Marble1's captions and in the
// dark-blue gap between 136 and 137.5 s.
const kStillTimes = [5, 30, 61, 80, 99, 120, 136.8, 150, 185, 201];

const types = {".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".ogg": "audio/ogg"};
function serve(root) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "") || "index.html";
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, {"Content-Type": types[path.extname(file)] || "application/octet-stream"});
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

async function openPage(browser, url, errors) {
  const page = await browser.newPage();
  await page.setViewport({width: 800, height: 600});
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  page.on("pageerror", (e) => errors.push(e.message));
  await page.goto(url);
  return page;
}

async function waitForTitle(page, prefix, timeout) {
  await page.waitForFunction((p) => document.title.startsWith(p), {timeout: timeout}, prefix);
  return page.title();
}

function compareStill(nativePng, webPng) {
  const a = PNG.sync.read(nativePng);
  const b = PNG.sync.read(webPng);
  assert.strictEqual(`${b.width}x${b.height}`, `${a.width}x${a.height}`);
  let close = 0;
  for (let i = 0; i < a.width * a.height; ++i) {
    let d = 0;
    for (let c = 0; c < 3; ++c) d = Math.max(d, Math.abs(a.data[i * 4 + c] - b.data[i * 4 + c]));
    if (d <= kTolerance) ++close;
  }
  return close / (a.width * a.height);
}

// The player's messages for the show in `dir`, as {title, text} (its message
// boxes go to standard error as "title: text", tabs and line breaks escaped).
function nativeMessages(dir) {
  const run = spawnSync(capture, ["--quiet", "--from", "1", path.join(dir, "unused.png")],
                        {cwd: dir, encoding: "utf8"});
  return run.stderr.split("\n").filter((l) => l.includes(": ") && !l.startsWith("zolt-capture: ")).map((l) => {
    const at = l.indexOf(": ");
    return {title: l.slice(0, at), text: l.slice(at + 2).replace(/\\t/g, "\t").replace(/\\n/g, "\n")};
  });
}

// A copy of `from` in `to` without `leave`, with `change(name, bytes)`
// applied to each file's bytes.
function copyFolder(from, to, leave, change) {
  fs.mkdirSync(to, {recursive: true});
  for (const f of fs.readdirSync(from)) {
    if (f === leave || !fs.statSync(path.join(from, f)).isFile()) continue;
    const bytes = fs.readFileSync(path.join(from, f));
    fs.writeFileSync(path.join(to, f), change ? change(f, bytes) : bytes);
  }
}

// The page of a show changed as `change` says against the player on the same
// show: the same messages, the first in the title, and no hang.
async function expectPlayerMessages(browser, work, name, leave, change) {
  const page = path.join(work, name + "-page");
  const show = path.join(work, name + "-show");
  copyFolder(pageDir, page, leave, change);
  copyFolder(showDir, show, leave === "frozen-mainzik-2p.ogg" ? "frozen-mainzik-2p.xm" : leave, change);
  const expected = nativeMessages(show);
  assert.ok(expected.length > 0, "the player gives no message");
  const server = await serve(page);
  const tab = await openPage(browser, `http://127.0.0.1:${server.address().port}/index.html?t=10&still=1`, []);
  const title = await waitForTitle(tab, "zolt:error", 60000);
  const shown = await tab.evaluate(() => window.zoltMessages);
  const box = await tab.evaluate(() => document.getElementById("messages").textContent);
  await tab.close();
  server.close();
  assert.deepStrictEqual(shown, expected);
  assert.ok(box.includes(expected[0].text), "the message is not on the page");
  // The title holds the first text with its white space collapsed.
  assert.strictEqual(title, ("zolt:error " + expected[0].text).replace(/\s+/g, " ").trim());
}

(async () => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "zolt-web-test-"));
  const server = await serve(pageDir);
  const base = `http://127.0.0.1:${server.address().port}/index.html`;
  const browser = await puppeteer.launch({executablePath: chromium, headless: true, args: chromiumArgs});
  let failures = 0;
  async function check(name, body) {
    const started = Date.now();
    try {
      await body();
      console.log(`ok   ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
    } catch (e) {
      ++failures;
      console.log(`FAIL ${name}: ${e.message}`);
    }
  }
  try {
    await check("the page loads, starts on a click and plays with no console error", async () => {
      const errors = [];
      const page = await openPage(browser, base, errors);
      await page.waitForFunction(() => document.getElementById("status").textContent.includes("Click"),
                                 {timeout: 60000});
      await page.click("#overlay");
      await page.waitForFunction(() => document.body.classList.contains("playing"), {timeout: 60000});
      await new Promise((r) => setTimeout(r, 2000));
      const state = await page.evaluate(() => ({title: document.title, messages: window.zoltMessages.length,
                                                  musicMs: window.Module.zoltMusic.lastMs}));
      assert.deepStrictEqual(errors, []);
      assert.strictEqual(state.messages, 0);
      // The show's clock is the music's position, which has moved on.
      assert.ok(state.musicMs > 500 && state.musicMs < 10000, `the music is at ${state.musicMs} ms`);
      assert.ok(!state.title.startsWith("zolt:error"), state.title);
      await page.close();
    });

    await check(`stills at ${kStillTimes.length} music times match zolt-capture's`, async () => {
      const results = [];
      for (const t of kStillTimes) {
        const nativeFile = path.join(work, `native-${t}.png`);
        execFileSync(capture, ["--quiet", "--from", String(t), nativeFile], {cwd: showDir});
        const errors = [];
        const page = await openPage(browser, `${base}?t=${t}&still=1`, errors);
        const title = await waitForTitle(page, "zolt:", 60000);
        assert.strictEqual(title, "zolt:ready", `at ${t} s`);
        const url = await page.evaluate(() => document.getElementById("canvas").toDataURL("image/png"));
        const webPng = Buffer.from(url.split(",")[1], "base64");
        fs.writeFileSync(path.join(work, `web-${t}.png`), webPng);
        await page.close();
        assert.deepStrictEqual(errors, [], `console errors at ${t} s`);
        results.push([t, compareStill(fs.readFileSync(nativeFile), webPng)]);
      }
      console.log("     share of close pixels: " + results.map(([t, s]) => `${t} s ${(100 * s).toFixed(2)}%`).join(", "));
      for (const [t, share] of results) {
        assert.ok(share >= kShare, `at ${t} s only ${(100 * share).toFixed(2)}% of the pixels match (${work})`);
      }
    });

    await check("the bench hook reports its frames, time and rate", async () => {
      const errors = [];
      const page = await openPage(browser, `${base}?bench=30`, errors);
      const title = await waitForTitle(page, "zolt:", 120000);
      assert.match(title, /^zolt:bench 30 ms [0-9]+ fps [0-9]+\.[0-9]$/);
      assert.deepStrictEqual(errors, []);
      await page.close();
    });

    await check("pages without their pack or music, or with a damaged pack, show the player's messages",
                async () => {
      await expectPlayerMessages(browser, work, "no-pack", "data.pac");
      await expectPlayerMessages(browser, work, "no-music", "frozen-mainzik-2p.ogg");
      // Cut short: the archive's directory is gone.
      await expectPlayerMessages(browser, work, "cut-pack", null,
                                 (f, b) => f === "data.pac" ? b.subarray(0, b.length >> 1) : b);
      // Bytes of the members' data changed: inflation or checksums fail.
      await expectPlayerMessages(browser, work, "damaged-pack", null, (f, b) => {
        if (f !== "data.pac") return b;
        const copy = Buffer.from(b);
        for (let i = 2000; i < copy.length >> 1; i += 9973) copy[i] ^= 0x5a;
        return copy;
      });
    });

    await check("zolt-web refuses a show without its pack or music and leaves nothing behind", async () => {
      for (const leave of ["data.pac", "frozen-mainzik-2p.xm"]) {
        const show = path.join(work, "export-without-" + leave);
        copyFolder(showDir, show, leave);
        const out = path.join(work, "export-out-" + leave);
        const run = spawnSync(zoltWeb, ["--engine", pageDir, show, out], {encoding: "utf8"});
        assert.strictEqual(run.status, 1, run.stderr);
        assert.match(run.stderr, /^zolt-web: .+\n$/);
        assert.deepStrictEqual(fs.existsSync(out) ? fs.readdirSync(out) : [], []);
      }
    });
  } finally {
    await browser.close();
    server.close();
  }
  if (failures === 0) {
    fs.rmSync(work, {recursive: true, force: true});
  }
  console.log(failures === 0 ? "web page: all passed" : `web page: ${failures} failed`);
  process.exit(failures === 0 ? 0 : 1);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
