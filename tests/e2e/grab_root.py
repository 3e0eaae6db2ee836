"""A screen locker's first step: grabs the pointer and the keyboard on the root window, and
lets both go again. Exits with 0 when both grabs succeed, and otherwise names the one refused
and why, as a locker would fail to lock."""
import sys

from Xlib import X, display

screen = display.Display()
root = screen.screen().root
pointer = root.grab_pointer(False, X.ButtonPressMask, X.GrabModeAsync, X.GrabModeAsync,
                            X.NONE, X.NONE, X.CurrentTime)
keyboard = root.grab_keyboard(False, X.GrabModeAsync, X.GrabModeAsync, X.CurrentTime)
screen.ungrab_pointer(X.CurrentTime)
screen.ungrab_keyboard(X.CurrentTime)
screen.sync()
reasons = {X.GrabSuccess: None, X.AlreadyGrabbed: "AlreadyGrabbed", X.GrabFrozen: "GrabFrozen",
           X.GrabInvalidTime: "GrabInvalidTime", X.GrabNotViewable: "GrabNotViewable"}
refused = [f"{device}: {reasons.get(status, status)}"
           for device, status in (("pointer", pointer), ("keyboard", keyboard)) if status]
print("; ".join(refused) or "both grabs taken and let go")
sys.exit(1 if refused else 0)
