/* Asks an X11 window to close the way a window manager's close button does: a
 * WM_DELETE_WINDOW client message. "--intern" only creates the atoms involved, which a
 * client may look up without creating them when no window manager has done so yet. */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf (stderr, "usage: %s --intern | WINDOW-ID\n", argv[0]);
        return 2;
    }

    Display* display = XOpenDisplay (NULL);

    if (display == NULL)
    {
        fprintf (stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }

    Atom protocols = XInternAtom (display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom (display, "WM_DELETE_WINDOW", False);

    if (strcmp (argv[1], "--intern") != 0)
    {
        XEvent event;
        memset (&event, 0, sizeof (event));
        event.xclient.type = ClientMessage;
        event.xclient.window = (Window)strtoul (argv[1], NULL, 0);
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)deleteWindow;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent (display, event.xclient.window, False, NoEventMask, &event);
    }

    XSync (display, False);
    XCloseDisplay (display);
    return 0;
}
