#!/usr/bin/python3
"""The web editor in a real browser: headless Chromium driven by Selenium on a scratch copy
of the example project, checked against the module through the command line.

    editor_page_test.py --quintrel BUILD/quintrel --root SOURCE_TREE [--screenshot PNG]

Exits 77 (a skip for CTest) only when Chromium is not installed, and says so loudly.
With --screenshot it also saves the page (German, the main form's title selected).
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
CHROMEDRIVER = shutil.which("chromedriver")
ARGS = None


def request(url, data=None, headers=None, method=None):
    """(status, parsed JSON or text) of one HTTP request."""
    req = urllib.request.Request(url, data=data, headers=headers or {}, method=method)
    try:
        with urllib.request.urlopen(req, timeout=30) as response:
            body, status, kind = response.read(), response.status, response.headers.get("Content-Type", "")
    except urllib.error.HTTPError as error:
        body, status, kind = error.read(), error.code, error.headers.get("Content-Type", "")
    text = body.decode("utf-8")
    return status, json.loads(text) if kind.startswith("application/json") else text


class EditorPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        cls.dir = tempfile.mkdtemp(prefix="quintrel-editor-")
        cls.project = os.path.join(cls.dir, "project")
        shutil.copytree(os.path.join(ARGS.root, "examples", "project"), cls.project)
        cls.module = os.path.join(cls.project, "Sample.ZOD")
        subprocess.run([os.path.join(ARGS.root, "scripts", "build-example-module"), ARGS.quintrel, cls.module],
                       check=True, stdout=subprocess.DEVNULL)
        cls.server = subprocess.Popen([ARGS.quintrel, "edit", "--project", cls.project, "--target", "de"],
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = cls.server.stdout.readline()
        found = re.search(r"(http://127\.0\.0\.1:(\d+)/)\?token=([0-9a-f]+)", line)
        if not found:
            cls.server.kill()
            raise AssertionError("no address in: %r %s" % (line, cls.server.stderr.read()))
        cls.base, cls.token, cls.url = found.group(1), found.group(3), found.group(0)

        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1400,1050",
                         "--lang=en", "--disable-gpu"):
            options.add_argument(argument)
        cls.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        cls.driver.set_page_load_timeout(60)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.terminate()
        try:
            out, err = cls.server.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            cls.server.kill()
            raise AssertionError("the editor did not stop on SIGTERM")
        shutil.rmtree(cls.dir, ignore_errors=True)
        # Stopping is clean: exit status 0, and every line on stderr is the program's.
        assert cls.server.returncode == 0, (cls.server.returncode, err)
        assert all(l.startswith("quintrel: ") for l in err.splitlines()), err

    # --- helpers ------------------------------------------------------------------------

    def api(self, path, body=None, token=True):
        headers = {"X-Quintrel-Token": self.token} if token else {}
        data = None
        if body is not None:
            data = json.dumps(body).encode("utf-8")
            headers["Content-Type"] = "application/json"
        return request(self.base + "api/" + path, data, headers, "POST" if body is not None else "GET")

    def term(self, lang, obj):
        """The object's text in the language as the command line reads it from the module."""
        result = subprocess.run([ARGS.quintrel, "term", "get", "--module", self.module, lang, "--object", str(obj)],
                                capture_output=True, text=True)
        return result.stdout.rstrip("\n") if result.returncode == 0 else None

    def wait(self, condition, what, seconds=20):
        deadline = time.time() + seconds
        while time.time() < deadline:
            try:
                value = condition()
                if value:
                    return value
            except Exception:  # the page is between two states
                pass
            time.sleep(0.1)
        self.fail("timed out waiting for " + what)

    def open_page(self):
        self.driver.get(self.url)
        self.wait(lambda: self.driver.find_elements("css selector", "#tree li.object"), "the tree")

    def selected(self):
        return self.driver.execute_script(
            "const li = document.querySelector('#tree li.object.selected'); return li ? Number(li.dataset.object) : null")

    def page_down(self):
        from selenium.webdriver.common.keys import Keys
        before = self.selected()
        self.driver.switch_to.active_element.send_keys(Keys.PAGE_DOWN)
        return self.wait(lambda: self.selected() != before and self.selected(), "Page Down to move")

    def click_object(self, label):
        item = self.driver.find_element(
            "xpath", "//li[contains(@class,'object')][normalize-space(.)='%s']" % label)
        self.driver.execute_script("arguments[0].closest('details').open = true", item)
        item.click()
        obj = int(item.get_attribute("data-object"))
        self.wait(lambda: self.selected() == obj, "the object to be shown")
        return obj

    def reopen(self):
        """Makes the shown signed-off text editable again, as a reviewer does."""
        self.driver.find_element("id", "reopen").click()
        self.wait(lambda: self.driver.find_element("id", "targetText").is_enabled(), "the text to be editable")
        self.assertEqual(self.driver.find_element("id", "status").text, "to review")

    def preview_selected(self):
        return self.wait(lambda: self.driver.execute_script(
            "const g = document.querySelector('#preview svg g.selected');"
            "return g ? [g.dataset.name, g.dataset.object] : null"), "the preview's outline")

    # --- tests --------------------------------------------------------------------------

    def test_a_request_without_the_token_is_refused(self):
        status, body = self.api("info", token=False)
        self.assertEqual(status, 403)
        self.assertIn("token", body["error"])
        status, _ = request(self.base + "?token=" + "0" * len(self.token))
        self.assertEqual(status, 403)
        # A write must carry the token in its header: in the address it is not enough.
        status, _ = request(self.base + "api/set?token=" + self.token, b"{}", {"Content-Type": "application/json"})
        self.assertEqual(status, 403)
        # A request to another host name (a name rebound to this address) is refused too.
        status, _ = request(self.url, headers={"Host": "attacker.example:80"})
        self.assertEqual(status, 403)
        # The page itself comes with the token.
        status, page = request(self.url)
        self.assertEqual(status, 200)
        self.assertIn("Direct localization", page)

    def test_bounded_requests(self):
        status, _ = self.api("set", {"object": 1, "lang": "de", "text": "x" * (2 << 20), "expected": ""})
        self.assertEqual(status, 413)
        status, body = request(self.base + "api/set", b"[" * 100 + b"]" * 100,
                               {"X-Quintrel-Token": self.token, "Content-Type": "application/json"})
        self.assertEqual(status, 400)
        self.assertIn("nests", body["error"])

    def test_page_down_finds_the_first_untranslated_text_and_enter_saves_it(self):
        from selenium.webdriver.common.keys import Keys
        self.open_page()
        first = self.driver.execute_script(
            "const d = document.querySelector('#tree .dot.untranslated'); return Number(d.parentNode.dataset.object)")
        self.assertEqual(self.page_down(), first)
        field = self.driver.find_element("id", "targetText")
        self.assertEqual(self.driver.switch_to.active_element, field)
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys("Übersetzt im Browser")
        field.send_keys(Keys.ENTER)
        self.wait(lambda: self.driver.find_element("id", "message").text == "Saved.", "the save")
        self.assertEqual(self.term("de", first), "Übersetzt im Browser")
        self.assertEqual(self.driver.find_element("id", "status").text, "to review")
        # The next Page Down moves past the saved text.
        self.assertNotEqual(self.page_down(), first)

    def test_the_previews_highlighted_control_is_the_selected_objects(self):
        self.open_page()
        obj = self.click_object("TitleLabel.Caption")
        name, objects = self.preview_selected()
        self.assertEqual(name, "TitleLabel")
        self.assertIn(str(obj), objects.split())
        svg = self.driver.find_element("css selector", "#preview svg").get_attribute("outerHTML")
        self.assertIn("Meine Adressen", svg)
        if ARGS.screenshot:
            self.driver.save_screenshot(ARGS.screenshot)
        # A signed-off text is not editable until it is reopened; a saved text shows in the
        # redrawn form.
        field = self.driver.find_element("id", "targetText")
        self.assertFalse(field.is_enabled())
        self.reopen()
        from selenium.webdriver.common.keys import Keys
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys("Meine Kontakte", Keys.ENTER)
        self.wait(lambda: "Meine Kontakte" in self.driver.find_element(
            "css selector", "#preview svg").get_attribute("outerHTML"), "the redrawn preview")

    def test_hebrew_is_shown_right_to_left(self):
        from selenium.webdriver.support.ui import Select
        self.open_page()
        Select(self.driver.find_element("id", "target")).select_by_value("he")
        self.wait(lambda: self.driver.find_element("id", "targetText").get_attribute("dir") == "rtl", "dir=rtl")
        self.click_object("SearchLabel.Caption")
        self.assertEqual(self.driver.find_element("id", "targetText").get_attribute("value"), "&חיפוש:")
        self.assertEqual(self.driver.find_element("id", "baseText").get_attribute("dir"), "ltr")
        svg = self.wait(lambda: self.driver.execute_script(
            "const g = document.querySelector('#preview svg g.selected'); return g && g.outerHTML"), "the preview")
        self.assertIn('direction="rtl"', svg)
        # Back to German for the other tests.
        Select(self.driver.find_element("id", "target")).select_by_value("de")

    def test_two_writers_on_one_term_the_second_gets_the_conflict_and_nothing_is_lost(self):
        from selenium.webdriver.common.keys import Keys
        self.open_page()
        obj = self.click_object("NameLabel.Caption")
        self.reopen()
        # Another process stores a text while the page shows the old one.
        subprocess.run([ARGS.quintrel, "term", "set", "--module", self.module, "de", "--object", str(obj),
                        "Na&me (anderswo)"], check=True, stdout=subprocess.DEVNULL)
        field = self.driver.find_element("id", "targetText")
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys("&Name (hier)", Keys.ENTER)
        message = self.wait(lambda: self.driver.find_element("id", "message").get_attribute("class") == "error"
                            and self.driver.find_element("id", "message").text, "the conflict")
        self.assertTrue(message)
        # Neither text is lost: the module keeps the other's, the field keeps ours.
        self.assertEqual(self.term("de", obj), "Na&me (anderswo)")
        self.assertEqual(field.get_attribute("value"), "&Name (hier)")
        # Through the interface directly, the same answer: 409 with the message.
        status, shown = self.api("show?object=%d&base=en&target=de" % obj)
        self.assertEqual(status, 200)
        status, body = self.api("set", {"object": obj, "lang": "de", "text": "dritter", "expected": "veraltet"})
        self.assertEqual(status, 409)
        self.assertEqual(body["error"], message)
        self.assertEqual(self.term("de", obj), "Na&me (anderswo)")
        status, _ = self.api("set", {"object": obj, "lang": "de", "text": "&Name:", "expected": shown["target"]})
        self.assertEqual(status, 200)
        self.assertEqual(self.term("de", obj), "&Name:")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--quintrel", required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--screenshot")
    ARGS, rest = parser.parse_known_args()
    if not CHROMIUM or not CHROMEDRIVER:
        print("*" * 78 + "\nSKIPPED: the web editor's browser test needs chromium and chromedriver "
              "(scripts/install-deps installs them); the editor's page was NOT tested.\n" + "*" * 78)
        return 77
    result = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
