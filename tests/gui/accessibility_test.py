#!/usr/bin/python3
"""The application as a screen reader meets it, in each of its seven languages.

Starts the application with two images, then reads it through the desktop's accessibility bus
(AT-SPI) as Orca does: walks every window, checks that each control has its translated name,
its role and its states, presses controls through their accessible actions (the merge check
box, Start), reads the file list's cells and progress values, and opens the Preference, About
and update dialogs with real clicks on the menus. Switches the language once while running.

Run inside its own session bus (dbus-run-session) on an X display with a window manager:
    accessibility_test.py APP PO_DIR
"""
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

import warnings

import pyatspi

warnings.filterwarnings('ignore', category=DeprecationWarning)

APP = sys.argv[1] if len(sys.argv) > 1 else ''
PO_DIR = sys.argv[2] if len(sys.argv) > 2 else ''

# Name, language number (language.txt) and catalogue of each interface language.
LANGUAGES = [
    ('English', 58, None),
    ('German', 89, 'de'),
    ('French', 80, 'fr'),
    ('Italian', 110, 'it'),
    ('Japanese', 112, 'ja'),
    ('ChineseSimplified', 46, 'zh_CN'),
    ('ChineseTraditional', 47, 'zh_TW'),
]

# Roles of the objects a user operates or reads: each must have a name.
NAMED_ROLES = {
    'push button', 'check box', 'radio button', 'menu item', 'link', 'text', 'password text',
    'combo box', 'table', 'page tab', 'progress bar', 'image', 'table cell', 'column header',
}

# The themed controls of the main window: role and untranslated label.
MAIN_CONTROLS = [
    ('push button', 'Close'), ('push button', 'Minimize'), ('push button', 'Maximize'),
    ('menu item', 'File'), ('menu item', 'Edit'), ('menu item', 'Help'),
    ('push button', 'Add File'), ('push button', 'Add Folder'), ('push button', 'Delete'),
    ('push button', 'Clear All'), ('table', 'File list'),
    ('radio button', 'Save target file(s) in source folder'), ('radio button', 'Customize'),
    ('text', 'Output Folder'), ('push button', 'Browse'), ('push button', 'Open'),
    ('check box', 'Merge into one file'), ('push button', 'Start '),
]
COLUMNS = ['File Name', 'Size', 'Output Type', 'Output Name', 'Status']
# The fields of the Preference dialog's two pages, named after their labels.
PROXY_FIELDS = [
    ('combo box', 'Proxy type:'), ('text', 'Proxy Address:'), ('text', 'Proxy Port:'),
    ('text', 'User Name:'), ('password text', 'Password:'),
]
PAGE_FIELDS = [
    ('radio button', 'Page Type'), ('combo box', 'Page Type'), ('text', 'Width:'),
    ('text', 'Top:'), ('text', 'Right:'), ('text', 'Author:'),
    ('combo box', 'Archive format (PDF/A):'), ('password text', 'Owner Password:'),
    ('password text', 'User Password:'), ('check box', 'Copy'), ('check box', 'Print'),
]


def read_catalogue(code):
    """msgid -> msgstr of a catalogue (English: none, the texts stand as they are)."""
    if code is None:
        return {}
    entries = {}
    with open(os.path.join(PO_DIR, code + '.po'), encoding='utf-8') as po:
        text = po.read()
    unquote = lambda parts: ''.join(
        bytes(p, 'utf-8').decode('unicode_escape').encode('latin-1').decode('utf-8')
        for p in re.findall(r'"((?:[^"\\]|\\.)*)"', parts))
    for match in re.finditer(r'^msgid ((?:".*"\n)+)msgstr ((?:".*"\n)+)', text, re.M):
        entries[unquote(match.group(1))] = unquote(match.group(2))
    return entries


def png(path, width, height, rgb):
    """A small opaque RGB PNG of one colour."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))
    row = b'\0' + bytes(rgb) * width
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b'IDAT', zlib.compress(row * height)))
        out.write(chunk(b'IEND', b''))


def wait_for(condition, what, timeout=20):
    end = time.time() + timeout
    while True:
        try:
            result = condition()
        except Exception:  # an object went away while it was read: ask again
            result = None
        if result:
            return result
        if time.time() > end:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.1)


def states(acc):
    return acc.getState()


def showing(acc):
    return states(acc).contains(pyatspi.STATE_SHOWING)


def descendants(acc):
    """Every object below acc, read afresh (the client's cache follows no events here)."""
    acc.clearCache()
    found = []
    for child in acc:
        if child is not None:
            found.append(child)
            if child.getRoleName() != 'table':
                found.extend(descendants(child))
    return found


def find(root, role, name):
    for acc in descendants(root):
        if acc.getRoleName() == role and acc.name == name and showing(acc):
            return acc
    return None


def press(acc):
    """The accessible action, as a switch user or a screen reader's command performs it."""
    action = acc.queryAction()
    assert action.nActions >= 1, acc.name + ' has no action'
    action.doAction(0)


def click(acc, button='1'):
    """A real click in the middle of the object (for the toolkit's own menus, whose action
    runs a dialog before it answers); without a button, the pointer only moves there."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    command = ['xdotool', 'mousemove', str(box.x + box.width // 2), str(box.y + box.height // 2)]
    subprocess.run(command + (['click', button] if button else []), check=True)


def key(name):
    subprocess.run(['xdotool', 'key', name], check=True)


class RunningApp:
    PRODUCT_DIR = os.path.join('Ombrix files', 'Ombrix Image to PDF Converter')

    def __init__(self, language, images):
        self.home = tempfile.mkdtemp(prefix='a11y-home-')
        data = os.path.join(self.home, self.PRODUCT_DIR)
        os.makedirs(data)
        with open(os.path.join(data, 'language.txt'), 'w') as out:
            out.write(str(language))
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, '.config'))
        self.process = subprocess.Popen([APP] + images, env=env)
        self.app = wait_for(self._find, 'the application on the accessibility bus', 60)
        self.frame = wait_for(lambda: next(
            (w for w in descendants_top(self.app) if w.getRoleName() == 'frame' and showing(w)),
            None), 'the main window')

    def _find(self):
        desktop = pyatspi.Registry.getDesktop(0)
        desktop.clearCache()
        for app in desktop:
            if app is not None and app.name == os.path.basename(APP):
                return app
        return None

    def window(self, role_names, title):
        self.app.clearCache()
        for w in self.app:
            if w is not None and w.getRoleName() in role_names and w.name == title and showing(w):
                return w
        return None

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.home, ignore_errors=True)


def descendants_top(app):
    app.clearCache()
    return [w for w in app if w is not None]


class AccessibilityTest(unittest.TestCase):
    def check_tree(self, root, where):
        """Every control read by a screen reader has a name; no themed control is left as a
        bare panel (focusable or with an action)."""
        for acc in descendants(root):
            if not showing(acc):
                continue
            role = acc.getRoleName()
            if role in NAMED_ROLES and role != 'table cell':
                self.assertTrue(acc.name.strip(), '%s: a %s without a name' % (where, role))
            if role == 'panel':
                self.assertFalse(states(acc).contains(pyatspi.STATE_FOCUSABLE),
                                 '%s: a focusable panel without name or role' % where)
                try:
                    actions = acc.queryAction().nActions
                except NotImplementedError:
                    actions = 0
                self.assertEqual(actions, 0, '%s: a panel with an action' % where)

    def expect(self, root, role, text, where):
        acc = find(root, role, text)
        self.assertIsNotNone(acc, '%s: no %s named "%s"' % (where, role, text))
        return acc

    def open_from_menu(self, running, title, item, window_title):
        press(self.expect(running.frame, 'menu item', title, 'menu bar'))
        entry = wait_for(lambda: next(
            (a for w in descendants_top(running.app) for a in descendants(w)
             if a.getRoleName() == 'menu item' and a.name == item and showing(a)), None),
            'the menu item ' + item)
        click(entry)
        return wait_for(lambda: running.window(('dialog', 'frame', 'alert'), window_title),
                        'the window ' + window_title)

    def close_window(self, running, window_title):
        key('Escape')
        wait_for(lambda: running.window(('dialog', 'frame', 'alert'), window_title) is None,
                 window_title + ' to close')

    def run_language(self, index):
        name, number, code = LANGUAGES[index]
        tr_table = read_catalogue(code)
        tr = lambda text: tr_table.get(text) or text
        folder = tempfile.mkdtemp(prefix='a11y-images-')
        self.addCleanup(shutil.rmtree, folder, True)
        images = []
        for stem, colour in (('alpha', (200, 30, 30)), ('beta', (30, 30, 200))):
            images.append(os.path.join(folder, stem + '.png'))
            png(images[-1], 40, 30, colour)
        running = RunningApp(number, images)
        try:
            self.check_main_window(running, name, tr, images)
            self.check_dialogs(running, name, tr)
            if index == 0:
                tr = self.check_language_switch(running, LANGUAGES[1])
            self.check_start(running, tr)
        finally:
            running.stop()

    def check_main_window(self, running, name, tr, images):
        frame = running.frame
        self.check_tree(frame, name)
        for role, label in MAIN_CONTROLS:
            self.expect(frame, role, tr(label).strip(), name)
        customize = self.expect(frame, 'radio button', tr('Customize'), name)
        self.assertTrue(states(customize).contains(pyatspi.STATE_CHECKED))

        # The file list: a table of the shown columns, one row per image.
        table_acc = self.expect(frame, 'table', tr('File list'), name)
        table = table_acc.queryTable()
        self.assertEqual(table.nRows, 2)
        self.assertEqual([table.getColumnDescription(c) for c in range(table.nColumns)],
                         [tr(c) for c in COLUMNS])
        self.assertEqual(table.getColumnHeader(0).name, tr('File Name'))
        for row, image in enumerate(images):
            self.assertEqual(table.getAccessibleAt(row, 0).name, os.path.basename(image))
            self.assertEqual(table.getAccessibleAt(row, 4).name, tr('Not Converted'))
        self.assertEqual(table_acc.childCount, 10)
        self.assertEqual(table_acc.getChildAtIndex(5).name, os.path.basename(images[1]))

        # The merge check box: checkable, toggled by its action both ways.
        merge = self.expect(frame, 'check box', tr('Merge into one file'), name)
        self.assertTrue(states(merge).contains(pyatspi.STATE_CHECKABLE))
        for checked in (True, False):
            press(merge)
            wait_for(lambda: (merge.clearCache(),
                              states(merge).contains(pyatspi.STATE_CHECKED) == checked)[1],
                     'the merge box checked=%s' % checked)

    def check_dialogs(self, running, name, tr):
        preference = self.open_from_menu(running, tr('Edit'), tr('Preference'), tr('Preference'))
        label = lambda text: re.sub(r'[:：]\s*$', '', tr(text)).strip()
        self.check_tree(preference, name + ' Preference')
        for role, text in PROXY_FIELDS:
            self.expect(preference, role, label(text), name + ' Preference')
        click(self.expect(preference, 'page tab', tr('Page Setting'), name + ' Preference'))
        wait_for(lambda: find(preference, 'text', label('Author:')), 'the page settings')
        self.check_tree(preference, name + ' Page Setting')
        for role, text in PAGE_FIELDS:
            self.expect(preference, role, label(text), name + ' Page Setting')
        self.close_window(running, tr('Preference'))

        about = self.open_from_menu(running, tr('Help'), tr('About'), tr('About'))
        self.check_tree(about, name + ' About')
        for role, label in (('push button', 'Close'), ('push button', 'Minimize'),
                            ('push button', 'Ok')):
            self.expect(about, role, tr(label), name + ' About')
        self.close_window(running, tr('About'))

        update = self.open_from_menu(running, tr('Help'), tr('Check for Update'),
                                     tr('Check for Update'))
        self.check_tree(update, name + ' update')
        self.expect(update, 'push button', tr('Cancel'), name + ' update')
        self.close_window(running, tr('Check for Update'))

    def check_language_switch(self, running, language):
        """A switch of language renames the controls at once."""
        _, _, code = language
        tr_table = read_catalogue(code)
        tr = lambda text: tr_table.get(text) or text
        press(self.expect(running.frame, 'menu item', 'Help', 'English'))
        submenu = wait_for(lambda: next(
            (a for w in descendants_top(running.app) for a in descendants(w)
             if a.getRoleName() == 'menu' and a.name == 'Language' and showing(a)), None),
            'the Language menu')
        # The pointer on the entry opens the submenu, as GTK menus do; Right opens it too.
        click(submenu, button=None)
        key('Right')
        entry = wait_for(lambda: next(
            (a for a in descendants(submenu) if a.name == 'Deutsch' and showing(a)), None),
            'the German entry')
        click(entry)
        start = wait_for(lambda: find(running.frame, 'push button', tr('Start ').strip()),
                         'Start renamed')
        self.assertIsNotNone(start)
        self.expect(running.frame, 'push button', tr('Close'), 'after the switch')
        self.expect(running.frame, 'table', tr('File list'), 'after the switch')
        self.expect(running.frame, 'text', tr('Output Folder'), 'after the switch')
        self.check_tree(running.frame, 'after the switch')
        return tr

    def check_start(self, running, tr):
        """Start pressed through its action converts both rows; the status cells read the
        progress as text and as a value."""
        frame = running.frame
        press(self.expect(frame, 'push button', tr('Start ').strip(), 'Start'))
        table_acc = wait_for(lambda: next(
            (a for a in descendants(frame) if a.getRoleName() == 'table'), None), 'the table')
        table = table_acc.queryTable()

        def done(row):
            cell = table.getAccessibleAt(row, 4)
            return cell.name == '100%' and cell.queryValue().currentValue == 100.0

        wait_for(lambda: (table_acc.clearCache(), done(0) and done(1))[1], 'both rows converted',
                 60)
        wait_for(lambda: any(a.getRoleName() == 'link' and showing(a) and a.name
                             for a in descendants(frame)), 'the summary links')


def make_test(index):
    return lambda self: self.run_language(index)


for number, language in enumerate(LANGUAGES):
    setattr(AccessibilityTest, 'test_' + language[0], make_test(number))

if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0], '-v'] + sys.argv[3:])
