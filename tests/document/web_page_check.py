#!/usr/bin/env python3
"""Opens an exported web page in headless Chromium and checks it through the DevTools protocol.

Usage: web_page_check.py CHROMIUM PAGE EXPECTED_JSON SCREENSHOT
EXPECTED_JSON holds "duration", "videoWidth", "text" (what the links show, in order), "clicks" ([link, time]
pairs), "playUntil", "underlined" (the first and last link that may be underlined then) and "slideAt"
(the slide shown).
Prints one line per check; exits 1 when one fails.
"""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket


class Browser:
    def __init__(self, chromium, profile):
        self.process = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--remote-debugging-port=0", "--user-data-dir=" + profile, "--mute-audio",
             "--autoplay-policy=no-user-gesture-required", "--allow-file-access-from-files",
             "--window-size=1000,700", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        port = None
        deadline = time.time() + 30
        while port is None and time.time() < deadline:
            line = self.process.stderr.readline()
            if not line and self.process.poll() is not None:
                break
            found = re.search(r"DevTools listening on ws://[^:]+:(\d+)/", line)
            if found:
                port = found.group(1)
        if port is None:
            raise RuntimeError("chromium did not open its DevTools port")
        targets = json.load(urllib.request.urlopen("http://127.0.0.1:%s/json/list" % port))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=30)
        self.next_id = 0
        self.events = []

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message["result"]
            self.events.append(message)

    def wait_for_event(self, method, limit=30):
        deadline = time.time() + limit
        while time.time() < deadline:
            for event in self.events:
                if event.get("method") == method:
                    self.events.remove(event)
                    return event
            self.events.append(json.loads(self.socket.recv()))
        raise RuntimeError("no " + method)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True,
                           returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.enable")
        started = time.time()
        self.call("Page.navigate", url=url)
        self.wait_for_event("Page.loadEventFired", limit=60)
        return time.time() - started

    def click(self, element_id):
        box = self.evaluate("(() => { const r = document.getElementById('%s')"
                            ".getBoundingClientRect(); return [r.x + r.width / 2, "
                            "r.y + r.height / 2]; })()" % element_id)
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=box[0], y=box[1],
                      button="left", clickCount=1)

    def close(self):
        self.socket.close()
        self.process.terminate()
        self.process.wait(10)


WAIT_FOR_MEDIA = """new Promise((done) => {
    const media = document.getElementById('movie');
    if (media.readyState >= 1) done(media.duration);
    media.addEventListener('loadedmetadata', () => done(media.duration));
    media.addEventListener('error', () => done(-1));
})"""

SEEKED = """new Promise((done) => {
    const media = document.getElementById('movie');
    if (!media.seeking) done(media.currentTime);
    media.addEventListener('seeked', () => done(media.currentTime), {once: true});
})"""

PLAY_UNTIL = """new Promise((done) => {
    const media = document.getElementById('movie');
    media.currentTime = 0;
    media.play();
    const look = () => {
        if (media.currentTime >= %f) {
            media.pause();
            done([underlined, document.getElementById('slides').getAttribute('src'),
                  document.querySelectorAll('span.played').length]);
        } else {
            setTimeout(look, 20);
        }
    };
    look();
})"""


def main():
    chromium, page, expected_path, screenshot = sys.argv[1:5]
    expected = json.load(open(expected_path, encoding="utf-8"))
    failures = []

    def check(name, ok, detail):
        print("%s %s: %s" % ("ok  " if ok else "FAIL", name, detail))
        if not ok:
            failures.append(name)

    with tempfile.TemporaryDirectory() as profile:
        browser = Browser(chromium, profile)
        try:
            seconds = browser.open("file://" + os.path.abspath(page))
            print("page opened in %.3f s" % seconds)
            if "duration" not in expected:
                return 0
            duration = browser.evaluate(WAIT_FOR_MEDIA)
            check("duration", abs(duration - expected["duration"]) < 0.3,
                  "%s, expected about %s" % (duration, expected["duration"]))
            width = browser.evaluate("document.getElementById('movie').videoWidth")
            check("pictures", width == expected["videoWidth"],
                  "%s wide, expected %s" % (width, expected["videoWidth"]))
            shown = browser.evaluate("Array.from(document.querySelectorAll("
                                     "'#notes span[id^=char]'), s => s.textContent).join('')")
            check("text", shown == expected["text"], repr(shown))
            check("nothing ran", browser.evaluate("typeof window.pwned") == "undefined",
                  "window.pwned stays undefined")
            for link, moment in expected["clicks"]:
                browser.click("char%d" % link)
                time.sleep(0.05)
                now = browser.evaluate(SEEKED)
                check("click on character %d" % link, abs(now - moment) <= 0.1,
                      "media at %.3f s, typed at %.3f s" % (now, moment))
            underlined, slide, played = browser.evaluate(PLAY_UNTIL % expected["playUntil"])
            low, high = expected["underlined"]
            check("underline", low <= underlined <= high and played > 0,
                  "link %s underlined (%d played), expected %s to %s" %
                  (underlined, played, low, high))
            check("slide", slide == "slides/%d.png" % expected["slideAt"], slide)
            check("nothing ran", browser.evaluate("typeof window.pwned") == "undefined",
                  "still")
            shot = browser.call("Page.captureScreenshot", format="png")
            with open(screenshot, "wb") as out:
                out.write(base64.b64decode(shot["data"]))
        finally:
            browser.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
