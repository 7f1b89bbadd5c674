#!/usr/bin/python3
"""Works tarvello-qt from outside on an X display without a window manager, for
tools/qt-close-mid-build.sh: types the book name "big", adds FOLDER through the window's
folder dialog, presses 生成PDF电子书 and, once the caption shows the build's progress and the
working file WORKING_FILE exists, sends the window system's close (WM_DELETE_WINDOW).

    qt_close_driver.py FOLDER WORKING_FILE
"""
import os
import sys
import time

from Xlib import X, display, protocol
from Xlib.ext import xtest

folder, working_file = sys.argv[1:3]
d = display.Display()
root = d.screen().root
NET_WM_NAME = d.intern_atom("_NET_WM_NAME")
UTF8_STRING = d.intern_atom("UTF8_STRING")


def title(window):
    prop = window.get_full_property(NET_WM_NAME, UTF8_STRING)
    return prop.value.decode() if prop else ""


def shown():
    return [w for w in root.query_tree().children if w.get_attributes().map_state == X.IsViewable]


def wait_for(test, what, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        found = test()
        if found:
            return found
        time.sleep(0.02)
    sys.exit("never saw " + what)


def click(window, x, y):
    # (x, y) in pixels of the window at 96 dpi; the window may be laid out at another dpi.
    at = root.translate_coords(window, 0, 0)
    scale = window.get_geometry().width / 575
    xtest.fake_input(d, X.MotionNotify, x=at.x + round(x * scale), y=at.y + round(y * scale))
    xtest.fake_input(d, X.ButtonPress, 1)
    xtest.fake_input(d, X.ButtonRelease, 1)
    d.sync()
    time.sleep(0.2)


def type_text(text):
    shift = d.keysym_to_keycode(0xFFE1)  # Shift_L
    for ch in text:
        keysym = ord(ch) if ch != "\n" else 0xFF0D  # Latin-1 keysyms are their code points
        code = d.keysym_to_keycode(keysym)
        shifted = d.keycode_to_keysym(code, 0) != keysym
        if shifted:
            xtest.fake_input(d, X.KeyPress, shift)
        xtest.fake_input(d, X.KeyPress, code)
        xtest.fake_input(d, X.KeyRelease, code)
        if shifted:
            xtest.fake_input(d, X.KeyRelease, shift)
        d.sync()
        time.sleep(0.01)


main = wait_for(lambda: next((w for w in shown() if title(w).startswith("PDF电子书")), None),
                "the window")
time.sleep(0.5)
click(main, 415, 20)  # the book-name box
type_text("big")
before = {w.id for w in shown()}
click(main, 112, 352)  # 添加文件夹
dialog = wait_for(lambda: next((w for w in shown() if w.id not in before), None), "the folder dialog")
time.sleep(0.5)
type_text(folder + "\n")
wait_for(lambda: all(w.id != dialog.id for w in shown()), "the folder dialog close")
time.sleep(0.5)
click(main, 515, 352)  # 生成PDF电子书
wait_for(lambda: "%" in title(main) and os.path.exists(working_file), "the build's progress")
print("closing at: " + title(main) + ("; the working file is there" if os.path.exists(working_file) else ""))
main.send_event(protocol.event.ClientMessage(
    window=main, client_type=d.intern_atom("WM_PROTOCOLS"),
    data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
d.flush()
