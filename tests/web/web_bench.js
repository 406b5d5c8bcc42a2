// Times the page's bench hook in headless Chromium:
//   node web_bench.js PAGE_DIR FRAMES
// prints the page's title, "zolt:bench N ms TOTAL fps RATE".
"use strict";
const fs = require("fs");
const http = require("http");
const path = require("path");
const puppeteer = require("puppeteer-core");

const [pageDir, frames] = [path.resolve(process.argv[2]), Number(process.argv[3] || 600)];
const server = http.createServer((request, response) => {
  const name = new URL(request.url, "http://x").pathname.replace(/^\/+/, "") || "index.html";
  const file = path.join(pageDir, path.normalize(name));
  if (!file.startsWith(pageDir) || !fs.existsSync(file)) {
    response.writeHead(404);
    response.end();
    return;
  }
  const type = file.endsWith(".wasm") ? "application/wasm" : file.endsWith(".js") ? "text/javascript" : "text/html";
  response.writeHead(200, {"Content-Type": type});
  fs.createReadStream(file).pipe(response);
});
server.listen(0, "127.0.0.1", async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.ZOLT_CHROMIUM || "/usr/bin/chromium", headless: true, protocolTimeout: 0,
    args: ["--no-sandbox", "--use-angle=gl-egl", "--ignore-gpu-blocklist"]});
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html?bench=${frames}`);
  await page.waitForFunction(() => document.title.startsWith("zolt:bench") || document.title.startsWith("zolt:error"),
                             {timeout: 0, polling: 1000});
  console.log(await page.title());
  await browser.close();
  server.close();
});
