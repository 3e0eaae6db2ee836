'''The session's idle service as a desktop offers it, for python3-dbusmock.

Inhibit hands out cookies from 7001 on, so that an UnInhibit with a cookie the service never
gave shows in the call log.
'''

BUS_NAME = 'org.freedesktop.ScreenSaver'
MAIN_OBJ = '/org/freedesktop/ScreenSaver'
MAIN_IFACE = 'org.freedesktop.ScreenSaver'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.next_cookie = 7001
    mock.AddMethods(MAIN_IFACE, [
        ('Inhibit', 'ss', 'u', 'ret = self.next_cookie; self.next_cookie += 1'),
        ('UnInhibit', 'u', '', ''),
    ])
