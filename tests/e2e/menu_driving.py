"""Driving tilvane's context menu the way a user does: a real right-click opens it, real
pointer moves and left clicks choose an item (through its submenu where it has one); the
menu's items, check marks and places are read by tvprobe menu-items."""

import time


def menu_report(session):
    """{"open": bool, "menus": [{"window", "items"}...]}, the menu shown on top first."""
    return session.probe("menu-items")


def wait_menus(session, count, timeout=10):
    """The report once at least `count` menus are shown (0: once none is)."""
    deadline = time.monotonic() + timeout
    while True:
        report = menu_report(session)
        shown = len(report["menus"])
        if (shown >= count) if count else not report["open"]:
            return report
        if time.monotonic() > deadline:
            raise AssertionError("%d menus shown, waited for %d" % (shown, count))
        time.sleep(0.2)


def open_context_menu(session, x, y):
    """Right-clicks at the screen point; the report of the menu that opens. Now and then
    Wine drops a click that follows the close of a menu at once, so a click that opens
    nothing is given once more (a late second click on the open menu does nothing: it
    tracks the left button only)."""
    for attempt in range(2):
        session.xdotool("mousemove", x, y, "click", "3")
        try:
            return wait_menus(session, 1, timeout=5)
        except AssertionError:
            if attempt == 1:
                raise


def close_menu(session):
    session.xdotool("key", "Escape")
    wait_menus(session, 0)


def items_by_id(items):
    """{command id: item} over a menu and all its submenus."""
    found = {}
    for item in items:
        if "items" in item:
            found.update(items_by_id(item["items"]))
        elif not item["separator"]:
            found[item["id"]] = item
    return found


def check_marks(report):
    """{command id: checked} of the context menu shown (the bottom-most menu window)."""
    return {command: item["checked"]
            for command, item in items_by_id(report["menus"][-1]["items"]).items()}


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def choose(session, command):
    """Chooses the item of the open context menu with a left click, opening its submenu
    first by pointing at it, and waits until the menu has closed."""
    root = wait_menus(session, 1)["menus"][-1]
    for item in root["items"]:
        if item["id"] == command and not item["separator"]:
            session.xdotool("mousemove", *centre(item["rect"]), "click", "1")
            return wait_menus(session, 0)
    for parent in root["items"]:
        if command not in items_by_id(parent.get("items", [])):
            continue
        x, y = centre(parent["rect"])
        session.xdotool("mousemove", x, y)
        submenu = wait_menus(session, 2)["menus"][0]
        target = items_by_id(submenu["items"])[command]
        # Into the submenu along the parent's row, then down to the item, so the pointer
        # never crosses another item of the parent menu.
        session.xdotool("mousemove", submenu["window"][0] + 8, y)
        session.xdotool("mousemove", *centre(target["rect"]), "click", "1")
        return wait_menus(session, 0)
    raise AssertionError("no item %d in the context menu" % command)


def choose_on_cell(session, hwnd, layout, index, command):
    """Chooses command from the context menu of the wall's cell `index`."""
    left, top = session.probe("info", "--hwnd", hwnd)["client"][:2]
    x, y = layout.centre(index)
    open_context_menu(session, left + x, top + y)
    choose(session, command)


def set_clipboard(session, text):
    session.probe("set-clipboard", "--hex", text.encode("ascii").hex())


def clipboard_text(session):
    return session.probe("clipboard")["text"]
