// Imported models as a glTF viewer shows them:
//   node viewer_test.js BUILD_DIR OUT_DIR
// Each real glTF model below is converted with zolt-import (camera and lights
// added where the model has none), drawn with zolt-render at some frames, and
// drawn by three.js in headless Chromium at the same animation times (frame /
// frame rate) through the same camera: the model's own camera, or the camera
// the scene got, read with zolt-inspect. The silhouettes must overlap
// (intersection over union at least 0.8) and the player's model must be at
// least a third as bright as three.js's. Both pictures and a comparison go to
// OUT_DIR; one line per picture gives the numbers.
"use strict";
const {execFileSync} = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");
const {PNG} = require("pngjs");

const [buildDir, outDir] = process.argv.slice(2).map((p) => path.resolve(p));
const chromium = process.env.ZOLT_CHROMIUM || "/usr/bin/chromium";
const chromiumArgs = ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                      "--ignore-gpu-blocklist"];
const modelRoot = "/usr/share/assimp/models/glTF2";
const kMinIoU = 0.8;
const kMinBrightness = 1 / 3;

// A skinned animated model (at three times), a model of 115 meshes with its
// own camera, a textured one, a camera test whose first camera is its own,
// a box of normals that are not unit length, a cube under a scaled node and
// a model of dark base colours.
const models = [
  {file: "simple_skin/simple_skin.gltf", frames: [0, 40, 100]},
  {file: "2CylinderEngine-glTF-Binary/2CylinderEngine.glb", frames: [0]},
  {file: "BoxTextured-glTF-Binary/BoxTextured.glb", frames: [0]},
  {file: "cameras/Cameras.gltf", frames: [0]},
  // Normals of lengths 0 and 0.1, which the engine would light with as they are.
  {file: "BoxBadNormals-glTF-Binary/BoxBadNormals.glb", frames: [0]},
  // A cube of size 0.02 under a node scaled by 100 (its morph targets are not
  // converted, so only the first frame matches).
  {file: "glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf", frames: [0]},
  // 27 meshes of dark linear base colours, an emissive label map (not drawn).
  {file: "ClearCoat-glTF/ClearCoatTest.gltf", frames: [0]},
];

const types = {".html": "text/html", ".js": "text/javascript", ".json": "application/json",
               ".gltf": "model/gltf+json", ".png": "image/png", ".jpg": "image/jpeg"};
// Serves the page at /, three.js under /three/ and the model folders under
// /models/.
function serve() {
  const roots = {"three": path.join(__dirname, "node_modules", "three"), "models": modelRoot};
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "");
    const [top, ...rest] = name.split("/");
    const root = roots[top];
    const file = root ? path.join(root, path.normalize(rest.join("/"))) : path.join(__dirname, "page.html");
    if ((root && !file.startsWith(root)) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, {"Content-Type": types[path.extname(file).toLowerCase()] || "application/octet-stream"});
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

const run = (program, args, options) => execFileSync(path.join(buildDir, program), args,
                                                     {encoding: "utf8", maxBuffer: 1 << 28, ...options});
const fromDataUrl = (url) => PNG.sync.read(Buffer.from(url.split(",")[1], "base64"));

// Pixels that differ between the pictures on black and on magenta are
// background; the rest is the model, dark parts included.
function mask(black, magenta) {
  const m = new Uint8Array(black.width * black.height);
  for (let i = 0; i < m.length; ++i) {
    let same = true;
    for (let c = 0; c < 3; ++c) same = same && Math.abs(black.data[i * 4 + c] - magenta.data[i * 4 + c]) <= 2;
    m[i] = same ? 1 : 0;
  }
  return m;
}

function meanBrightness(picture, m) {
  let sum = 0, n = 0;
  for (let i = 0; i < m.length; ++i) {
    if (!m[i]) continue;
    sum += (picture.data[i * 4] + picture.data[i * 4 + 1] + picture.data[i * 4 + 2]) / 3;
    ++n;
  }
  return n ? sum / n : 0;
}

// The player's picture, three.js's, and where they overlap (white), where
// only the player draws (red) and where only three.js draws (blue).
function sideBySide(a, b, ma, mb) {
  const w = a.width, h = a.height;
  const out = new PNG({width: w * 3, height: h});
  for (let y = 0; y < h; ++y) {
    for (let x = 0; x < w; ++x) {
      const i = y * w + x;
      const put = (col, rgb) => {
        const o = (y * w * 3 + col * w + x) * 4;
        out.data[o] = rgb[0]; out.data[o + 1] = rgb[1]; out.data[o + 2] = rgb[2]; out.data[o + 3] = 255;
      };
      put(0, a.data.slice(i * 4, i * 4 + 3));
      put(1, b.data.slice(i * 4, i * 4 + 3));
      put(2, ma[i] && mb[i] ? [255, 255, 255] : ma[i] ? [255, 0, 0] : mb[i] ? [0, 0, 255] : [0, 0, 0]);
    }
  }
  return PNG.sync.write(out);
}

async function main() {
  fs.mkdirSync(outDir, {recursive: true});
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "zolt-viewer-"));
  const server = await serve();
  const browser = await puppeteer.launch({executablePath: chromium, headless: true, args: chromiumArgs});
  const failures = [];
  let passed = 0;
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 640, height: 480});
    const errors = [];
    page.on("pageerror", (e) => errors.push(e.message));
    page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.waitForFunction(() => document.title === "ready", {timeout: 60000});

    for (const model of models) {
      const name = path.basename(model.file).replace(/\.[^.]*$/, "");
      const pack = path.join(work, `${name}.pac`);
      const scene = `${name}.KVF`;
      const summary = run("zolt-import", ["--pack", pack, "--name", scene, path.join(modelRoot, model.file)],
                          {stdio: ["ignore", "pipe", "ignore"]});
      const ownCamera = !summary.includes("added a camera");
      for (const frame of model.frames) {
        const label = `${name}@${frame}`;
        const info = JSON.parse(run("zolt-inspect", ["--pack", pack, "--frame", String(frame), scene]));
        if (info.cameras.length === 0) throw new Error(`${label}: the scene has no camera`);
        const stem = path.join(outDir, `${name}_${frame}`);
        for (const [clear, suffix] of [["0x000000", "player"], ["0xFF00FF", "player_magenta"]]) {
          run("zolt-render", ["--pack", pack, "--frame", String(frame), "--clear", clear,
                              "--out", `${stem}_${suffix}.png`, scene]);
        }
        const ambient = [(info.ambient >> 16) & 255, (info.ambient >> 8) & 255, info.ambient & 255].map((c) => c / 255);
        const shot = {
          url: `/models/${model.file}`, time: frame / info.frameRate, own: ownCamera,
          camera: info.cameras[0], ambient,
          lights: info.lights.map((l) => ({position: l.position, colour: l.colour, multiplier: l.multiplier,
                                           range: l.rangeFlag ? l.range : 1e30})),
        };
        const drawn = await page.evaluate((s) => window.draw(s), shot);
        if (errors.length) throw new Error(`${label}: page errors: ${errors.join("; ")}`);
        const player = PNG.sync.read(fs.readFileSync(`${stem}_player.png`));
        const playerMask = mask(player, PNG.sync.read(fs.readFileSync(`${stem}_player_magenta.png`)));
        const viewer = fromDataUrl(drawn.black);
        const viewerMask = mask(viewer, fromDataUrl(drawn.magenta));
        fs.writeFileSync(`${stem}_three.png`, PNG.sync.write(viewer));
        fs.writeFileSync(`${stem}_compare.png`, sideBySide(player, viewer, playerMask, viewerMask));
        fs.unlinkSync(`${stem}_player_magenta.png`);

        let both = 0, either = 0, nPlayer = 0, nViewer = 0;
        for (let i = 0; i < playerMask.length; ++i) {
          both += playerMask[i] & viewerMask[i];
          either += playerMask[i] | viewerMask[i];
          nPlayer += playerMask[i];
          nViewer += viewerMask[i];
        }
        const iou = either ? both / either : 0;
        const bPlayer = meanBrightness(player, playerMask);
        const bViewer = meanBrightness(viewer, viewerMask);
        const ratio = bViewer > 0 ? bPlayer / bViewer : 0;
        const ok = iou >= kMinIoU && ratio >= kMinBrightness && nViewer > 0;
        console.log(`${ok ? "ok  " : "FAIL"} ${label}: IoU ${iou.toFixed(3)} (player ${nPlayer} px, three.js ${nViewer} px),` +
                    ` brightness player ${bPlayer.toFixed(1)} / three.js ${bViewer.toFixed(1)} = ${ratio.toFixed(2)}` +
                    ` (${ownCamera ? "own camera" : "added camera"})`);
        if (ok) ++passed; else failures.push(label);
      }
    }
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(work, {recursive: true, force: true});
  }
  console.log(`pictures in ${outDir}`);
  console.log(`${passed} passed, ${failures.length} failed`);
  if (failures.length) process.exit(1);
}

main().catch((e) => {
  console.error(e.stack || String(e));
  process.exit(1);
});
