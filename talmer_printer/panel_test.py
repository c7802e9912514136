#!/usr/bin/env python3
"""The printer's panel in a real browser (headless Chromium driven by Selenium).

    panel_test.py TALMER_PRINTER PLAIN_RECEIPT

Starts talmer_printer on free ports, opens its panel, prints a receipt with
plain_receipt over the link and watches it reach the open page; then works the
paper, the cable and the script field from the page and checks the lights and
the printer's own state. Without Chromium, its driver or Selenium the test is
skipped (exit 77), unless CI is "true": there it fails.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import urllib.request

SKIPPED = 77
WAIT_SECONDS = 10
CHROMEDRIVER = '/usr/bin/chromedriver'


def missing(what):
    if os.environ.get('CI') == 'true':
        sys.exit(f'panel_test: {what}, and CI must run the browser test')
    print(f'panel_test: skipped: {what}')
    sys.exit(SKIPPED)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    missing('python3-selenium is not installed')

CHROMIUM = shutil.which('chromium') or shutil.which('chromium-browser')
if not CHROMIUM:
    missing('chromium is not installed')
if not os.access(CHROMEDRIVER, os.X_OK):
    missing(CHROMEDRIVER + ' (chromium-driver) is not installed')


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def api_state(panel):
    with urllib.request.urlopen(panel + 'api/state', timeout=5) as response:
        return json.load(response)


def start_printer(binary, folder):
    printer = subprocess.Popen(
        [binary, '--listen', '127.0.0.1:0', '--panel', '127.0.0.1:0',
         '--timescale', '1000', '--state', os.path.join(folder, 'memory.state'),
         '--paper', os.path.join(folder, 'paper.roll')],
        stdout=subprocess.PIPE, text=True)
    link = printer.stdout.readline().strip()
    panel = printer.stdout.readline().strip()
    check(link.startswith('link ') and panel.startswith('panel http://'),
          f'talmer_printer printed {link!r} and {panel!r}')
    return printer, link[len('link '):], panel[len('panel '):]


def open_browser(folder):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                     '--no-first-run', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync',
                     '--disable-dev-shm-usage', '--window-size=1200,900',
                     '--user-data-dir=' + os.path.join(folder, 'chromium')):
        options.add_argument(argument)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


def run(printer_binary, plain_receipt, folder):
    printer, link, panel = start_printer(printer_binary, folder)
    browser = None
    try:
        browser = open_browser(folder)
        wait = WebDriverWait(browser, WAIT_SECONDS)
        by_id = lambda name: browser.find_element(By.ID, name)
        has_text = lambda name, text: lambda _: text in by_id(name).text
        light_is = lambda name, text, mode: lambda _: (
            by_id(name).text == text and by_id(name).get_attribute('data-state') == mode)

        browser.get(panel)
        wait.until(lambda _: by_id('roll').is_displayed()
                   and browser.find_element(By.TAG_NAME, 'body')
                   .get_attribute('data-stream') == 'live', 'the panel loads and goes live')
        check(by_id('receipt-number').text == '0', 'a new printer has receipt number 0')
        # Gone if the page were loaded again.
        browser.execute_script('window.notReloaded = true')

        env = dict(os.environ, TALMER_PRINTER=link, TALMER_SIM_TIMESCALE='1000')
        receipt = subprocess.run([plain_receipt, 'SERIAL', 'COM1,9600,8,N,1,H'], env=env,
                                 stdout=subprocess.PIPE, timeout=30)
        check(receipt.returncode == 0 and b'Printer status D:0, P0' in receipt.stdout,
              f'plain_receipt: exit {receipt.returncode}, {receipt.stdout!r}')

        wait.until(has_text('roll', 'Bułka Standardowa'), 'the item reaches the roll')
        wait.until(has_text('roll', 'Paragon nr 1'), 'the receipt reaches the roll')
        wait.until(lambda _: by_id('receipt-number').text == '1', 'receipt number 1 shows')
        wait.until(has_text('calls', 'name=trline list=na,Bułka Standardowa'),
                   'the item\'s call shows')
        wait.until(has_text('day-table', '0,35'), 'the day\'s gross shows')
        check('0,07' in by_id('day-table').text, 'the day shows the VAT of rate A')
        check(browser.execute_script('return window.notReloaded === true'),
              'the page was loaded again')

        # The paper, from its button; the light, the button and the printer follow.
        check(light_is('light-paper', 'Paper: in', 'ok')(None), 'the paper is in at first')
        by_id('paper-button').click()
        wait.until(light_is('light-paper', 'Paper: out', 'fault'), 'the light shows paper out')
        check('Paper out' in by_id('paper-button').text, 'the button shows the paper out')
        check(api_state(panel)['paper'] == 'out', 'GET /api/state says the paper is out')
        by_id('paper-button').click()
        wait.until(light_is('light-paper', 'Paper: in', 'ok'), 'the light shows paper in')
        check(api_state(panel)['paper'] == 'in', 'GET /api/state says the paper is in')

        # The cable: pulled and plugged in again.
        by_id('link-button').click()
        wait.until(light_is('light-link', 'Cable: pulled', 'fault'), 'the cable light goes out')
        check(api_state(panel)['link'] == 'unplugged', 'GET /api/state: the cable is out')
        by_id('link-button').click()
        wait.until(light_is('light-link', 'Cable: plugged in', 'ok'), 'the cable light is back')
        check(api_state(panel)['link'] == 'plugged', 'GET /api/state: the cable is in')

        # A script line, applied with Enter; a refused one tells why.
        field = by_id('script-line')
        field.send_keys('at 0 cover open', Keys.ENTER)
        wait.until(light_is('light-cover', 'Cover: open', 'fault'), 'the cover light shows open')
        check(api_state(panel)['cover'] == 'open', 'GET /api/state: the cover is open')
        check(field.get_attribute('value') == '', 'an applied line leaves the field')
        field.send_keys('at 0 paper sideways', Keys.ENTER)
        wait.until(has_text('script-result', 'script: line 1: not understood'),
                   'the refusal shows')
        check(field.get_attribute('aria-invalid') == 'true', 'the refused line is marked')
        check(field.get_attribute('value') == 'at 0 paper sideways',
              'a refused line stays to be mended')
        check(api_state(panel)['paper'] == 'in', 'a refused line changes nothing')

        # A phone-sized window: one column, and the roll's 40 columns fit.
        browser.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': 360, 'height': 740, 'deviceScaleFactor': 1, 'mobile': True})
        wait.until(lambda _: browser.execute_script('return innerWidth') == 360,
                   'the window narrows')
        fits = browser.execute_script(
            'const roll = document.getElementById("roll");'
            'return document.documentElement.scrollWidth <= innerWidth'
            ' && roll.getBoundingClientRect().right <= innerWidth'
            ' && roll.scrollWidth <= roll.clientWidth')
        check(fits, 'the roll fits a 360 px wide window')
        check(by_id('roll').size['height'] > 0 and 'Paragon nr 1' in by_id('roll').text,
              'the roll shows on a phone-sized window')

        errors = [entry['message'] for entry in browser.get_log('browser')
                  if entry['level'] == 'SEVERE' and 'api/script' not in entry['message']]
        check(not errors, f'the page logged errors: {errors}')
    finally:
        if browser is not None:
            browser.quit()
        if printer.poll() is None:
            printer.send_signal(signal.SIGTERM)
        try:
            code = printer.wait(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            printer.kill()
            raise AssertionError('talmer_printer did not end on SIGTERM')
    check(code == 0, f'talmer_printer ended with {code} on SIGTERM')


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: panel_test.py TALMER_PRINTER PLAIN_RECEIPT')
    with tempfile.TemporaryDirectory(prefix='panel_test.') as folder:
        try:
            run(sys.argv[1], sys.argv[2], folder)
        except AssertionError as failure:
            sys.exit(f'panel_test: {failure}')
        except TimeoutException as waited:
            sys.exit(f'panel_test: waited {WAIT_SECONDS} s in vain: {waited.msg}')
    print('panel_test: passed')


if __name__ == '__main__':
    main()
