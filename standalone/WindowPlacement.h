#pragma once

#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

// Where a top-level window's client area really is on the screen, and moving it there, asked
// of the window system itself. Under X11 JUCE keeps the window's position from the window
// manager's notifications, and while a window manager frames and places a new window that
// copy can miss the last move and stay where the program asked, not where the window is.
// Elsewhere both go through JUCE's own bounds.

// The client area's top-left corner on the screen, in JUCE's logical coordinates.
juce::Point<int> clientAreaPositionOnScreen (juce::Component& window);

// The top-left corner of the window manager's frame around the window, from the frame extents
// the window manager has set on it now (JUCE keeps the first extents it read), in JUCE's
// logical coordinates; nothing where the window system does not say (no window manager).
std::optional<juce::Point<int>> framePositionOnScreen (juce::Component& window);

// Moves the window so that its client area's top-left corner is at position; a framed window
// is moved by its frame.
void moveClientAreaTo (juce::Component& window, juce::Point<int> position);
