#!/usr/bin/python3
"""Finds a top-level X window by its title and closes it as a window manager would.

usage: xwindow.py wait TITLE SECONDS   -> prints "ID WIDTH HEIGHT" once the window is mapped
       xwindow.py close ID             -> asks the window to close (WM_DELETE_WINDOW)
"""
import sys
import time

from Xlib import X, display, protocol


def find(d, title):
    root = d.screen().root
    wm_name = d.intern_atom("_NET_WM_NAME")
    utf8 = d.intern_atom("UTF8_STRING")
    stack = [root]
    while stack:
        window = stack.pop()
        try:
            name = window.get_full_property(wm_name, utf8)
            text = name.value.decode("utf-8", "replace") if name else window.get_wm_name()
            attrs = window.get_attributes()
            if text == title and attrs.map_state == X.IsViewable:
                return window
            stack.extend(window.query_tree().children)
        except Exception:
            continue
    return None


def main():
    d = display.Display()
    if sys.argv[1] == "wait":
        deadline = time.monotonic() + float(sys.argv[3])
        while time.monotonic() < deadline:
            window = find(d, sys.argv[2])
            if window is not None:
                geometry = window.get_geometry()
                print(window.id, geometry.width, geometry.height)
                return 0
            time.sleep(0.2)
        return 1
    if sys.argv[1] == "close":
        window = d.create_resource_object("window", int(sys.argv[2]))
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event)
        d.flush()
        return 0
    return 2


if __name__ == "__main__":
    sys.exit(main())
