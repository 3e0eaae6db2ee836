'''Looks at the X server as the tests need it, through python3-xlib.

x_probe.py saver: prints the screen saver's state, "Off", "On", "Cycle" or "Disabled".
x_probe.py globe SECONDS: prints "ready" once it looks at the screen, waits until the screen
shows a globe, by the same test as the helpers' wait_for_globe (top left corner black,
middle not), and prints the clock time (seconds since the epoch) when it first did; fails
when none shows within the seconds.
'''

import sys
import time

from Xlib import X, display
from Xlib.ext import screensaver

# The protocol's fourth state, a saver switched off altogether, has no name in python3-xlib.
SAVER_STATES = {screensaver.StateOff: 'Off', screensaver.StateOn: 'On',
                screensaver.StateCycle: 'Cycle', 3: 'Disabled'}
# Short beside the tenths of a second that matter, and light on the X server.
POLL_INTERVAL = 0.005


def is_black(root, x, y, width=1):
    pixels = root.get_image(x, y, width, 1, X.ZPixmap, 0xffffffff).data
    return not any(pixels)


def main():
    screen = display.Display().screen()
    root = screen.root
    if sys.argv[1] == 'saver':
        print(SAVER_STATES.get(root.screensaver_query_info().state, 'unknown'))
        return 0
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
