# SPDX-License-Identifier: MIT
"""Headless Chromium driven over its DevTools pipe (file descriptors 3 and 4, one JSON message
each, ended by NUL), so that a test can load a page, run script in it and wait for it, with
nothing but the standard library."""
import json, os, shutil, signal, subprocess, tempfile, time

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")


class Browser:
    def __init__(self):
        self.profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        to_browser, self.commands = os.pipe()
        self.replies, from_browser = os.pipe()
        # Above 4, so that placing them at 3 and 4 in the child overwrites neither.
        ends = [os.dup2(fd, 10 + i) for i, fd in enumerate((to_browser, from_browser))]
        os.close(to_browser)
        os.close(from_browser)

        def at_3_and_4():
            os.dup2(ends[0], 3)
            os.dup2(ends[1], 4)

        self.process = subprocess.Popen(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--remote-debugging-pipe", "--user-data-dir=" + self.profile.name,
             "about:blank"], preexec_fn=at_3_and_4, close_fds=False,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        for fd in ends:
            os.close(fd)
        self.pending = b""
        self.next_id = 0
        self.session = None

    def close(self):
        os.close(self.commands)
        # Chromium's helpers write into the profile too: the whole group ends before it goes.
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        os.close(self.replies)
        self.profile.cleanup()

    def call(self, method, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if self.session and not method.startswith("Target."):
            message["sessionId"] = self.session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.pending:
                data = os.read(self.replies, 1 << 16)
                if not data:
                    raise RuntimeError("chromium ended")
                self.pending += data
            text, self.pending = self.pending.split(b"\0", 1)
            reply = json.loads(text)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(reply["error"])
                return reply["result"]

    def open(self, url):
        """Opens url in a new tab, in place of the last, and waits for the page's script to say
        it is ready."""
        if self.session:
            self.call("Target.closeTarget", targetId=self.target)
        target = self.target = self.call("Target.createTarget", url=url)["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.wait("location.href != 'about:blank' && document.body && document.body.dataset.readyMs")

    def run(self, expression):
        """The value of a script expression in the page; a promise is waited for."""
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(result["exceptionDetails"])
        return result["result"].get("value")

    def wait(self, expression, seconds=60):
        """Waits until expression is true in the page."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                if self.run(expression):
                    return
            except RuntimeError:  # the page is still being replaced
                pass
            time.sleep(0.05)
        raise TimeoutError(expression)
