// Opens a timeline (Trace Event Format JSON) in speedscope in headless Chromium and takes a
// picture of one task's calls. Exits non-zero when speedscope does not show the file's tracks.
//
//   node scripts/timeline-pictures.js TIMELINE.json OUTPUT.png [TRACK]
//   (NODE_PATH: the node_modules folder holding speedscope and playwright-core)
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const { chromium } = require('playwright-core');

const [timeline, output, track = 'task_logger'] = process.argv.slice(2);
const speedscope = path.join(path.dirname(require.resolve('speedscope/package.json')), 'dist/release');
const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json' };

// speedscope only loads a profile by URL over http: serve its pages and the timeline on loopback.
function serve(request, response) {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = name === '/timeline.json' ? timeline : path.join(speedscope, path.normalize(name));
    fs.readFile(file, (error, data) => {
        response.writeHead(error ? 404 : 200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
        response.end(error ? '' : data);
    });
}

async function main() {
    const server = http.createServer(serve).listen(0, '127.0.0.1');
    await new Promise(resolve => server.on('listening', resolve));
    const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
    try {
        const page = await browser.newPage({ viewport: { width: 1200, height: 460 } });
        const errors = [];
        page.on('console', message => /Failed to load|Error/.test(message.text()) && errors.push(message.text()));
        page.on('pageerror', error => errors.push(error.message));
        await page.goto(`http://127.0.0.1:${server.address().port}/index.html#profileURL=/timeline.json`);
        // The title bar names the track shown, e.g. "sample_trace.bin (pid 1), DSP core (tid 1) (1/6)".
        const title = page.getByText(/\(tid \d+\) \(\d+\/\d+\)/);
        await page.waitForFunction(() => /\(tid \d+\) \(\d+\/\d+\)|went wrong/.test(document.body.innerText),
                                   null, { timeout: 60000 });
        if (!(await title.count()))
            throw new Error(`speedscope did not show the timeline: ${errors.join(' | ') || await page.innerText('body')}`);
        const count = Number((await title.innerText()).match(/\/(\d+)\)/)[1]);
        for (let i = 1; i < count && !(await title.innerText()).includes(`${track} (tid`); ++i)
            await page.keyboard.press('n');
        if (!(await title.innerText()).includes(`${track} (tid`))
            throw new Error(`speedscope shows no track named ${track}`);
        // Zoom in (around the mouse) on the first calls, so that their names show.
        await page.mouse.move(60, 250);
        for (let i = 0; i < 6; ++i)
            await page.keyboard.press('+');
        await page.mouse.move(1190, 450);
        await page.waitForTimeout(500);
        await page.screenshot({ path: output });
        console.log(`${output}: ${await title.innerText()}`);
    } finally {
        await browser.close();
        server.close();
    }
}

main().catch(error => {
    console.error(`timeline-pictures: ${error.message}`);
    process.exit(1);
});
