// The page (tools/run.sh web) in headless chromium, driven over the DevTools protocol through a
// pipe: a click starts the show, the Preload line comes, playback pictures and the explorer's
// starting view are exact (check_screenshot), a click prints its Click line, and Escape, once
// back in the show, ends it with the music stopped.
// Environment: PAGE (build/web), CHECK (check_screenshot), SHEET (assets/gfx.bmp).
import { spawn, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { extname, join } from "node:path";

const { PAGE, CHECK, SHEET } = process.env;
try {
    readFileSync(join(PAGE, "cardioid.wasm"));
} catch {
    console.error(`FAIL: no page in ${PAGE}: tools/run.sh web builds it`);
    process.exit(1);
}
const work = mkdtempSync(join(tmpdir(), "cardioid-web-"));
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
let browser, server;

function fail(message) {
    console.error(`FAIL: ${message}\n--- the page's console:\n${consoleLines.join("\n")}`);
    process.exitCode = 1;
    throw new Error(message);
}

// The page's folder over HTTP on a free port, as any static server would serve it.
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
server = createServer((request, response) => {
    const name = request.url === "/" ? "index.html" : request.url.slice(1);
    try {
        const body = readFileSync(join(PAGE, name.replaceAll("..", "")));
        response.writeHead(200, { "Content-Type": types[extname(name)] ?? "application/octet-stream" });
        response.end(body);
    } catch {
        response.writeHead(404).end();
    }
});
await new Promise(resolve => server.listen(0, "127.0.0.1", resolve));

browser = spawn("chromium", ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
    "--no-first-run", "--disable-background-networking", "--disable-component-update",
    "--disable-sync", `--user-data-dir=${work}/profile`, "--remote-debugging-pipe",
    "about:blank"], { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });

// Messages end in a NUL byte each way; answers carry the id of their command.
let nextId = 0, received = "";
const waiting = new Map(), consoleLines = [];
browser.stdio[4].on("data", chunk => {
    received += chunk.toString();
    for (let end; (end = received.indexOf("\0")) >= 0; received = received.slice(end + 1)) {
        const message = JSON.parse(received.slice(0, end));
        if (message.method === "Runtime.consoleAPICalled")
            consoleLines.push(message.params.args.map(arg => arg.value).join(" "));
        if (message.method === "Runtime.exceptionThrown")
            consoleLines.push(message.params.exceptionDetails.exception?.description);
        const answer = waiting.get(message.id);
        if (answer) answer(message);
    }
});
function send(method, params = {}, sessionId = undefined) {
    const id = ++nextId;
    browser.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + "\0");
    return new Promise((resolve, reject) => waiting.set(id, message => {
        waiting.delete(id);
        message.error ? reject(new Error(`${method}: ${message.error.message}`)) : resolve(message.result);
    }));
}

async function waitFor(what, seconds, test) {
    for (const until = Date.now() + seconds * 1000; Date.now() < until; await sleep(100))
        if (await test()) return;
    fail(`no ${what} within ${seconds} s`);
}

try {
    const { targetInfos } = await send("Target.getTargets");
    const target = targetInfos.find(info => info.type === "page");
    const { sessionId } = await send("Target.attachToTarget", { targetId: target.targetId, flatten: true });
    const page = (method, params) => send(method, params, sessionId);
    const evaluate = async expression =>
        (await page("Runtime.evaluate", { expression, returnByValue: true })).result.value;
    await page("Runtime.enable");
    await page("Emulation.setDeviceMetricsOverride",
        { width: 640, height: 480, deviceScaleFactor: 1, mobile: false });
    await page("Page.navigate", { url: `http://127.0.0.1:${server.address().port}/` });
    await waitFor("page", 10, () => evaluate("document.readyState === 'complete'"));

    const click = async (x, y) => {
        for (const type of ["mousePressed", "mouseReleased"])
            await page("Input.dispatchMouseEvent", { type, x, y, button: "left", clickCount: 1 });
    };
    const key = async (code, key, keyCode) => {
        for (const type of ["keyDown", "keyUp"])
            await page("Input.dispatchKeyEvent", { type, code, key, windowsVirtualKeyCode: keyCode });
    };
    // The canvas's pixels, as what check_screenshot reads: a 24-bit BMP, bottom row first.
    let shots = 0;
    const grab = async () => {
        const rgba = Buffer.from(await evaluate(`(() => {
            const data = document.getElementById("canvas").getContext("2d")
                .getImageData(0, 0, 640, 480).data;
            let text = "";
            for (let i = 0; i < data.length; i += 8192)
                text += String.fromCharCode.apply(null, data.subarray(i, i + 8192));
            return btoa(text);
        })()`), "base64");
        const bmp = Buffer.alloc(54 + 640 * 480 * 3);
        bmp.write("BM");
        [[2, bmp.length], [10, 54], [14, 40], [18, 640], [22, 480]].forEach(([at, value]) => bmp.writeUInt32LE(value, at));
        bmp.writeUInt16LE(1, 26);
        bmp.writeUInt16LE(24, 28);
        for (let y = 0; y < 480; ++y)
            for (let x = 0; x < 640; ++x)
                for (let c = 0; c < 3; ++c)
                    bmp[54 + ((479 - y) * 640 + x) * 3 + c] = rgba[(y * 640 + x) * 4 + 2 - c];
        const file = join(work, `shot${++shots}.bmp`);
        writeFileSync(file, bmp);
        return file;
    };
    const check = async (...args) => {
        const run = spawnSync(CHECK, [await grab(), ...args], { encoding: "utf8" });
        return run.status === 0 ? run.stdout.trim() : "";
    };

    await click(320, 240);
    const preload = /^Preload time: \d+ ms$/;
    await waitFor("Preload line", 60, () => consoleLines.some(line => preload.test(line)));
    console.log(consoleLines.find(line => preload.test(line)));
    await sleep(4500); // the starfield
    for (let i = 0; i < 2; ++i, await sleep(400)) {
        const found = await check("playback", SHEET);
        if (!found) fail("a playback picture differs from every zoom step under the logo");
        console.log(found);
    }
    if (await evaluate("cardioid.audio.context.state") !== "running") fail("the music does not play");

    await key("KeyM", "m", 77);
    let view = "";
    await waitFor("exact starting view in the explorer", 10,
        async () => (view = await check("-2.5", "1.5", "-1.5", "1.5", "1000")));
    console.log(view);
    await click(320, 240);
    const clicked = "Click: -0.5000000000000000, 0.0000000000000000";
    await waitFor(`"${clicked}"`, 10, () => consoleLines.includes(clicked));

    // The first Escape leaves the explorer and the show goes on; the second ends it.
    await key("Escape", "Escape", 27);
    await waitFor("playback after the explorer", 10, async () => await check("playback", SHEET));
    await key("Escape", "Escape", 27);
    await waitFor("Play again cover", 10, () => evaluate("!document.getElementById('cover').hidden"));
    if (await evaluate("cardioid.audio.context.state") !== "closed") fail("the music goes on after Escape");
    console.log("the page plays as the desktop program does");
} catch (error) {
    if (!process.exitCode) console.error(`FAIL: ${error.message}`);
    process.exitCode = 1;
} finally {
    const exited = new Promise(resolve => browser.once("exit", resolve));
    if (browser.exitCode === null) browser.kill();
    await exited;
    server.close();
    rmSync(work, { recursive: true, force: true });
}
