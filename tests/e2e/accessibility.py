#!/usr/bin/python3
# A screen reader's view of the settings dialog, through AT-SPI: what Orca reads and does.
# Opens the dialog with the palette's "設定" button, toggles an option check box and picks a
# clock-mode button with their accessible actions, checks roles, states and the text boxes'
# names, and after each step presses "設定保存" and reads what 設定.ini holds. Exits non-zero with
# a line on standard error on any fault.
import sys
import time

import pyatspi

BOUND_S = 10  # how long a window or a state may take to come, on a loaded machine
SETTINGS = sys.argv[1] + "/設定.ini"  # usage: accessibility.py PROGRAM_FOLDER


def fail(message):
    print("accessibility: FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def poll(what, condition):
    deadline = time.monotonic() + BOUND_S
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.05)
    fail(what)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "pikome":
            return app
    return None


def window(app, title):
    for child in app:
        if child is not None and child.name == title:
            return child
    return None


def descendants(root, role):
    return pyatspi.findAllDescendants(root, lambda a: a.getRole() == role)


def by_name(root, role, name):
    for acc in descendants(root, role):
        if acc.name == name:
            return acc
    fail("no %s named %r in %r" % (pyatspi.Role(role), name, root.name))


def run(acc, action):
    actions = acc.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action not in names:
        fail("%r offers %s, not %r" % (acc.name, names, action))
    actions.doAction(names.index(action))


def saved(key):
    """The value of an [Options] key in 設定.ini, as the program last saved it."""
    try:
        with open(SETTINGS, "rb") as ini:
            for line in ini.read().decode("cp932").splitlines():
                if line.startswith(key + "="):
                    return line[len(key) + 1:]
    except FileNotFoundError:
        pass
    return None


def checked(acc):
    return acc.getState().contains(pyatspi.STATE_CHECKED)


app = poll("the palette is not on the accessibility bus", application)
palette = poll("no window ぴこめ", lambda: window(app, "ぴこめ"))
run(by_name(palette, pyatspi.ROLE_PUSH_BUTTON, "設定"), "Press")
settings = poll("the settings dialog did not open", lambda: window(app, "ぴこめ　設定"))

# An option check box: the Toggle action is a click, and the box's value follows.
hide_date = by_name(settings, pyatspi.ROLE_CHECK_BOX, "縮小した時に日付部分も隠す")
if checked(hide_date):
    fail("縮小した時に日付部分も隠す starts checked")
run(hide_date, "Toggle")
poll("縮小した時に日付部分も隠す is not checked after Toggle", lambda: checked(hide_date))
save = by_name(settings, pyatspi.ROLE_PUSH_BUTTON, "設定保存")
run(save, "Press")
poll("after Toggle and 設定保存, 設定.ini holds %r" % saved("Check9"), lambda: saved("Check9") == "1")

# Option buttons are radio buttons, captionless ones included; one of a group is chosen.
radios = descendants(settings, pyatspi.ROLE_RADIO_BUTTON)
named = {r.name for r in radios}
for name in ["年月日", "時刻", "両方", "選択色", "選択項目 1", "ページ名設定 10"]:
    if name not in named:
        fail("no radio button %r (radio buttons: %s)" % (name, sorted(named)))
boxes = {b.name for b in descendants(settings, pyatspi.ROLE_CHECK_BOX)}
for name in ["常に手前に表示", "自動で隠す", "終了時に自動保存する"]:
    if name not in boxes:
        fail("no check box %r (check boxes: %s)" % (name, sorted(boxes)))
if named & boxes:
    fail("announced both as check box and as radio button: %s" % sorted(named & boxes))
time_only = by_name(settings, pyatspi.ROLE_RADIO_BUTTON, "時刻")
both = by_name(settings, pyatspi.ROLE_RADIO_BUTTON, "両方")
if not checked(both) or checked(time_only):
    fail("両方 should be the chosen clock mode at start")
run(time_only, "Toggle")
poll("時刻 is not chosen after Toggle", lambda: checked(time_only) and not checked(both))
run(time_only, "Toggle")  # a chosen option button stays chosen, as a click leaves it
time.sleep(0.2)
if not checked(time_only):
    fail("toggling the chosen 時刻 unchose it")

# Every text box has a name, that of its frame or label.
texts = descendants(settings, pyatspi.ROLE_TEXT)
unnamed = [t for t in texts if not t.name]
if len(texts) < 37 or unnamed:
    fail("%d text boxes, %d without a name" % (len(texts), len(unnamed)))
for name in ["ページ名設定", "顔文字の追加と変更 1", "顔文字の追加と変更 20", "選択項目名の変更 16"]:
    by_name(settings, pyatspi.ROLE_TEXT, name)

run(save, "Press")
poll("after choosing 時刻, 設定.ini holds Time=%r" % saved("Time"), lambda: saved("Time") == "1")
print("accessibility: toggled, chose and saved through AT-SPI")
