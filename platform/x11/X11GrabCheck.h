#pragma once

#include <string>

#include "platform/x11/X11Windows.h"

// What the exam asks of the X server, and of a compositor behind Xwayland,
// to find out whether its keyboard grab really locks the desktop. Each call
// opens a short connection of its own to $DISPLAY; without one they fail
// harmlessly (false, -1 or empty).

// The X server is Xwayland (the XWAYLAND extension, or before it its RandR
// outputs named XWAYLAND<n>): the grab then binds only X clients, and the
// Wayland compositor decides whether its own shortcuts give way to it.
bool ServerIsXwayland();

// _NET_WM_NAME of the window manager on the display (EWMH's
// _NET_SUPPORTING_WM_CHECK window); empty when none says.
std::string WindowManagerName();

// WM_CLASS of a window as the window manager reads it (the toolkit sets it
// when it maps the window): instance and class names; false when unknown.
bool ReadWindowClass(NativeWindow window, std::string& instance, std::string& className);

// Tells Mutter that this window may take the keyboard from the compositor
// (the _XWAYLAND_MAY_GRAB_KEYBOARD client message to the root window). Mutter
// judges a grab when it is taken, so the grab has to be taken (again) after
// this for it to count.
bool AnnounceXwaylandGrab(NativeWindow window);

// Another X client's attempt to grab the keyboard, made and at once undone
// on a connection of our own: the X status (0 it got the keyboard, so ours
// is not held; 1 AlreadyGrabbed, as while our grab holds); -1 without X.
int SecondClientGrabStatus();
