"""The workbench's page in headless Chromium (Debian's chromium and chromedriver, driven by
Selenium): a photograph with a periodic pattern opened through the file chooser, its
peak clicked on the spectrum, the pattern's RMS in the result down at least 10-fold, a
parameter changed, the PNG and the archive downloaded, the archive loaded by the C++
program with the page's result bit for bit, and a truncated file refused on the page.

Every wait is for a state of the page (body[data-state], the result's sequence number,
a downloaded file), never for a time. VXFREQ_WORKBENCH_SCREENSHOTS names a folder to
keep the screenshots in (the README's and the guide's pictures)."""

import os
import threading

import numpy as np
import pytest

from vxfreq.workbench import images
from vxfreq.workbench.server import Server, Workbench

import workbench_helpers as wh


@pytest.fixture(autouse=True)
def browser_installed():
    """The page is tested in a real browser or the tests fail: never skipped."""
    assert wh.browser_available(), ("chromium and chromedriver are not installed "
                                    "(scripts/install-deps.sh installs them)")


WAIT = 120  # seconds at most for any state of the page


@pytest.fixture
def page(tmp_path):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    bench = Workbench()
    server = Server(bench)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    downloads = tmp_path / "downloads"
    downloads.mkdir()
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1400,900", "--force-device-scale-factor=1"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False,
                                              # several downloads from one page
                                              "profile.default_content_setting_values."
                                              "automatic_downloads": 1})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow",
                                                        "downloadPath": str(downloads)})
    try:
        driver.get(server.url())
        yield driver, server, downloads
    finally:
        driver.quit()
        server.shutdown()
        server.server_close()


def _wait(driver, condition, what):
    from selenium.webdriver.support.ui import WebDriverWait
    return WebDriverWait(driver, WAIT, poll_frequency=0.05).until(
        lambda d: condition(d), message="the page did not reach: " + what)


def _ready_after(driver, seq):
    """Waits until the page shows a result newer than `seq`; its sequence number."""
    def done(d):
        body = d.find_element("tag name", "body")
        s = body.get_attribute("data-seq")
        return body.get_attribute("data-state") == "ready" and s and int(s) > seq and int(s)
    return _wait(driver, done, "a result after %d" % seq)


def _screenshot(driver, name):
    folder = os.environ.get("VXFREQ_WORKBENCH_SCREENSHOTS")
    if folder:
        driver.save_screenshot(os.path.join(folder, name))


def _download(driver, downloads, link_id, name):
    """Clicks a download link; the bytes of the new file, whose name starts as `name`'s
    (a second download of one name gets " (1)" added by the browser)."""
    before = set(os.listdir(downloads))
    driver.find_element("id", link_id).click()
    stem = os.path.splitext(name)[0]

    def finished(d):
        new = set(os.listdir(downloads)) - before
        if not new or any(n.endswith(".crdownload") for n in new):
            return False
        assert len(new) == 1 and new.pop().startswith(stem), os.listdir(downloads)
        return True

    _wait(driver, finished, "the download of " + name)
    (path,) = set(os.listdir(downloads)) - before
    return (downloads / path).read_bytes()


def test_open_click_peak_change_download_and_bad_file(page, tmp_path):
    driver, server, downloads = page
    picture = wh.photograph()
    source = tmp_path / "camera-pattern.png"
    source.write_bytes(images.png_bytes(picture))
    # Open through the file chooser.
    driver.find_element("id", "file").send_keys(str(source))
    seq = _ready_after(driver, 0)
    assert driver.execute_script("return window.workbench.pic.name") == "camera-pattern.png"
    assert driver.execute_script("return window.workbench.chain.length") == 0
    _screenshot(driver, "workbench-open.png")

    # Click the pattern's peak on the spectrum: where the page draws frequency (FX, FY).
    x, y = driver.execute_script("""
        const c = document.getElementById('view-spectrum'), s = window.workbench.sources.spectrum;
        const r = c.getBoundingClientRect(), ratio = c.width / r.width;
        const k = Math.min(c.width / s.width, c.height / s.height);
        const ox = c.width / 2 - 0.5 * s.width * k, oy = c.height / 2 - 0.5 * s.height * k;
        const px = (Math.floor(s.width / 2) + arguments[0] * s.width + 0.5) * k + ox;
        const py = (Math.floor(s.height / 2) + arguments[1] * s.height + 0.5) * k + oy;
        return [r.left + px / ratio, r.top + py / ratio];""", wh.FX, wh.FY)
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    actions = ActionBuilder(driver)
    actions.pointer_action.move_to_location(int(round(x)), int(round(y))).click()
    actions.perform()
    _wait(driver, lambda d: d.execute_script("return window.workbench.chain.length") == 1,
          "a filter from the click")
    seq = _ready_after(driver, seq)
    entry = driver.execute_script("return window.workbench.chain[0]")
    assert entry["type"] == "gaborreject"
    assert entry["frequency"] == pytest.approx(np.hypot(wh.FX, wh.FY), abs=2e-4)
    assert entry["angle"] == pytest.approx(np.degrees(np.arctan2(wh.FY, wh.FX)), abs=0.1)
    # The pointer's read-out names the frequency under it.
    assert "fx 0.15" in driver.find_element("id", "readout").text
    _screenshot(driver, "workbench.png")
    result = np.array(driver.execute_script("return Array.from(window.workbench.result)"),
                      np.uint8).reshape(picture.shape)
    before, after = wh.pattern_rms(picture), wh.pattern_rms(result)
    print("pattern RMS: %.3f in the picture, %.4f in the result (%.0f-fold less)"
          % (before, after, before / after))
    assert after * 10 <= before

    # A parameter changed: the sigma across typed in; a new result follows.
    field = driver.find_elements("css selector", '#filters input[data-param="sigma.1"]')[0]
    driver.execute_script("arguments[0].value = '0.02'; "
                          "arguments[0].dispatchEvent(new Event('input'));", field)
    seq = _ready_after(driver, seq)
    assert driver.execute_script("return window.workbench.chain[0].sigma[1]") == 0.02
    changed = np.array(driver.execute_script("return Array.from(window.workbench.result)"),
                       np.uint8).reshape(picture.shape)
    assert not np.array_equal(changed, result)
    latency = driver.execute_script("return window.workbench.lastLatency")
    print("change to result on the page at 512 x 512: %.0f ms" % latency)

    # The archive, loaded by the C++ program: the page's result, bit for bit.
    archive = _download(driver, downloads, "download-chain", "camera-pattern-chain.vxa")
    page_result = images.read_picture(_download(driver, downloads, "download-result",
                                                "camera-pattern-filtered.png"))
    assert np.array_equal(page_result, changed)
    check = wh.run_chain_check(tmp_path, archive, picture, page_result)
    assert check.returncode == 0, check.stdout + check.stderr
    assert check.stdout.startswith("identical: 512 x 512, 1 channel(s), 2 filter(s), "
                                   "continue padding, extended mode")
    # The snippets shown on the page.
    assert "vxfreq.GaborReject((" in driver.find_element("id", "python").text
    assert driver.find_element("id", "command").text.startswith(
        "vxfreq-workbench apply --filter gaborreject:frequency=")

    # A truncated file: a message on the page, the picture and the server still there.
    bad = tmp_path / "broken.png"
    bad.write_bytes(source.read_bytes()[:5000])
    driver.find_element("id", "file").send_keys(str(bad))
    _wait(driver, lambda d: d.find_element("tag name", "body").get_attribute("data-state")
          == "error", "the bad file's message")
    message = driver.find_element("id", "message")
    assert message.is_displayed()
    assert message.text == "cannot open 'broken.png': truncated PNG (it ends before all its pixels)"
    assert driver.execute_script("return window.workbench.pic.name") == "camera-pattern.png"
    field = driver.find_elements("css selector", '#filters input[data-param="sigma.1"]')[0]
    driver.execute_script("arguments[0].value = '0.004'; "
                          "arguments[0].dispatchEvent(new Event('input'));", field)
    _ready_after(driver, seq)
