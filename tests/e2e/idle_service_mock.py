'''One of the desktop's idle services, as IDLE_SERVICE names it, for python3-dbusmock.

Inhibit hands out cookies from 7001 on, so that a release with a cookie the service never
gave shows in the call log. With the parameter {"hung": true} Inhibit never answers.
'''

import os

# name: (object, interface, Inhibit's arguments, the release's method)
SERVICES = {
    'org.freedesktop.ScreenSaver':
        ('/org/freedesktop/ScreenSaver', 'org.freedesktop.ScreenSaver', 'ss', 'UnInhibit'),
    'org.gnome.SessionManager':
        ('/org/gnome/SessionManager', 'org.gnome.SessionManager', 'susu', 'Uninhibit'),
    'org.freedesktop.PowerManagement':
        ('/org/freedesktop/PowerManagement/Inhibit', 'org.freedesktop.PowerManagement.Inhibit',
         'ss', 'UnInhibit'),
}

BUS_NAME = os.environ['IDLE_SERVICE']
MAIN_OBJ, MAIN_IFACE, INHIBIT_ARGUMENTS, RELEASE = SERVICES[BUS_NAME]
SYSTEM_BUS = False


def load(mock, parameters):
    mock.next_cookie = 7001
    # The whole service stops answering, as a stuck desktop process does.
    answer = ('time.sleep(3600)' if parameters.get('hung')
              else 'ret = self.next_cookie; self.next_cookie += 1')
    mock.AddMethods(MAIN_IFACE, [
        ('Inhibit', INHIBIT_ARGUMENTS, 'u', answer),
        (RELEASE, 'u', '', ''),
    ])
