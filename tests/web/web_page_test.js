// The browser build's page in headless Chromium, against the desktop build:
//   node web_page_test.js PAGE_DIR SHOW_DIR ZOLT_CAPTURE
// PAGE_DIR is what zolt-web wrote for the show in SHOW_DIR. Checks that the
// page loads and plays with no console error; that stills at ten music
// times match zolt-capture's stills of the same times; that the bench hook
// reports; and that a page without its pack shows the player's message.
"use strict";
const assert = require("assert");
const {execFileSync, spawnSync} = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");
const {PNG} = require("pngjs");

const [pageDir, showDir, capture] = process.argv.slice(2).map((p) => path.resolve(p));
const chromium = process.env.ZOLT_CHROMIUM || "/usr/bin/chromium";
// Software WebGL 2 (SwiftShader through ANGLE) on a machine without a GPU.
const chromiumArgs = ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
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

// The player's first message for the show in `dir` (its message boxes go to
// standard error as "title: text" with tabs and line breaks escaped).
function nativeFirstMessage(dir) {
  const run = spawnSync(capture, ["--quiet", "--from", "1", path.join(os.tmpdir(), "zolt-web-unused.png")],
                        {cwd: dir, encoding: "utf8"});
  const line = run.stderr.split("\n").find((l) => l.startsWith("Zolt Engine Error: "));
  assert.ok(line, "the player gives no message without its pack:\n" + run.stderr);
  return line.slice("Zolt Engine Error: ".length).replace(/\\t/g, "\t").replace(/\\n/g, "\n");
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
      const state = await page.evaluate(() => ({title: document.title, messages: window.zoltMessages.length}));
      assert.deepStrictEqual(errors, []);
      assert.strictEqual(state.messages, 0);
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

    await check("a page without its pack shows the player's message", async () => {
      const broken = path.join(work, "no-pack");
      fs.mkdirSync(broken);
      for (const f of fs.readdirSync(pageDir)) {
        if (f !== "data.pac") fs.copyFileSync(path.join(pageDir, f), path.join(broken, f));
      }
      const showWithoutPack = path.join(work, "show-no-pack");
      fs.mkdirSync(showWithoutPack);
      for (const f of fs.readdirSync(showDir)) {
        if (f !== "data.pac") fs.copyFileSync(path.join(showDir, f), path.join(showWithoutPack, f));
      }
      const expected = nativeFirstMessage(showWithoutPack);
      const brokenServer = await serve(broken);
      const url = `http://127.0.0.1:${brokenServer.address().port}/index.html?t=10&still=1`;
      const page = await openPage(browser, url, []);
      const title = await waitForTitle(page, "zolt:error", 60000);
      const first = await page.evaluate(() => window.zoltMessages[0]);
      const shown = await page.evaluate(() => document.getElementById("messages").textContent);
      await page.close();
      brokenServer.close();
      assert.strictEqual(first.text, expected);
      assert.strictEqual(first.title, "Zolt Engine Error");
      assert.ok(shown.includes(expected), "the message is not on the page");
      // The title holds the text with its white space collapsed.
      assert.strictEqual(title, ("zolt:error " + expected).replace(/\s+/g, " ").trim());
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
