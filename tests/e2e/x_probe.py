'''Looks at the X server as the tests need it, through python3-xlib.

x_probe.py saver: prints the screen saver's state, "Off", "On", "Cycle" or "Disabled".
x_probe.py grabs: a screen locker's first step, the pointer and keyboard grabs on the root
window, taken and let go; fails naming the one refused and why, as a locker fails to lock.
x_probe.py globe SECONDS: prints "ready" once it looks at the screen, then the clock time
(seconds since the epoch) when the screen first shows a globe as wait_for_globe tells one
(top left corner black, middle not); fails when none shows within the seconds.
'''

import sys
import time

from Xlib import X, display
from Xlib.ext import screensaver

# The protocol's fourth state, a saver switched off altogether, has no name in python3-xlib.
SAVER_STATES = {screensaver.StateOff: 'Off', screensaver.StateOn: 'On',
                screensaver.StateCycle: 'Cycle', 3: 'Disabled'}
GRAB_REFUSALS = {X.AlreadyGrabbed: 'AlreadyGrabbed', X.GrabFrozen: 'GrabFrozen',
                 X.GrabInvalidTime: 'GrabInvalidTime', X.GrabNotViewable: 'GrabNotViewable'}
# Short beside the tenths of a second that matter, and light on the X server.
POLL_INTERVAL = 0.005


def is_black(root, x, y, width=1):
    pixels = root.get_image(x, y, width, 1, X.ZPixmap, 0xffffffff).data
    return not any(pixels)


def grabs(connection, root):
    pointer = root.grab_pointer(False, X.ButtonPressMask, X.GrabModeAsync, X.GrabModeAsync,
                                X.NONE, X.NONE, X.CurrentTime)
    keyboard = root.grab_keyboard(False, X.GrabModeAsync, X.GrabModeAsync, X.CurrentTime)
    connection.ungrab_pointer(X.CurrentTime)
    connection.ungrab_keyboard(X.CurrentTime)
    connection.sync()
    refused = [f'{device}: {GRAB_REFUSALS.get(status, status)}'
               for device, status in (('pointer', pointer), ('keyboard', keyboard)) if status]
    print('; '.join(refused) or 'both grabs taken and let go')
    return 1 if refused else 0


def main():
    connection = display.Display()
    screen = connection.screen()
    root = screen.root
    if sys.argv[1] == 'saver':
        print(SAVER_STATES.get(root.screensaver_query_info().state, 'unknown'))
        return 0
    if sys.argv[1] == 'grabs':
        return grabs(connection, root)
    print('ready', flush=True)
    deadline = time.time() + float(sys.argv[2])
    while time.time() < deadline:
        now = time.time()
        if is_black(root, 0, 0, 2) and not is_black(
                root, screen.width_in_pixels // 2, screen.height_in_pixels // 2):
            print(f'{now:.3f}')
            return 0
        time.sleep(POLL_INTERVAL)
    return 1


sys.exit(main())
