// The X11 declarations JUCE keeps out of its public header; only this file sees them, so their
// macros (None, Window, Bool...) stay out of the rest of the program.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "standalone/WindowPlacement.h"

#if JUCE_LINUX || JUCE_BSD
namespace
{
::Display* displayOf (juce::ComponentPeer* peer)
{
    if (peer == nullptr || peer->getNativeHandle() == nullptr)
        return nullptr;

    auto* system = juce::XWindowSystem::getInstanceWithoutCreating();
    return system != nullptr ? system->getDisplay() : nullptr;
}

::Window windowOf (juce::ComponentPeer& peer)
{
    return (::Window) (juce::pointer_sized_uint)peer.getNativeHandle();
}
} // namespace

juce::Point<int> clientAreaPositionOnScreen (juce::Component& window)
{
    auto* peer = window.getPeer();
    auto* display = displayOf (peer);

    if (display == nullptr)
        return window.getScreenPosition();

    auto* x11 = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;
    ::Window child = 0;
    int x = 0, y = 0;

    if (!x11->xTranslateCoordinates (display, windowOf (*peer), x11->xDefaultRootWindow (display), 0, 0, &x,
                                     &y, &child))
        return window.getScreenPosition();

    return juce::Desktop::getInstance().getDisplays().physicalToLogical (juce::Point<int> (x, y));
}

std::optional<juce::Point<int>> framePositionOnScreen (juce::Component& window)
{
    auto* peer = window.getPeer();

    if (displayOf (peer) == nullptr)
        return std::nullopt;

    const auto extents = juce::XWindowSystem::getInstance()->getBorderSize (windowOf (*peer));

    if (!extents)
        return std::nullopt;

    const auto& displays = juce::Desktop::getInstance().getDisplays();
    const auto client = displays.logicalToPhysical (clientAreaPositionOnScreen (window));
    return displays.physicalToLogical (client - juce::Point<int> (extents->getLeft(), extents->getTop()));
}

void moveClientAreaTo (juce::Component& window, juce::Point<int> position)
{
    auto* peer = window.getPeer();
    auto* display = displayOf (peer);

    if (display == nullptr)
    {
        window.setTopLeftPosition (position);
        return;
    }

    // A window manager places the frame where a framed window is moved to, as JUCE's own moves
    // assume. JUCE's copy of the position is left alone: the window manager's notification of
    // this move brings it up to date, where moving through JUCE would do nothing at all when
    // that copy already holds the position.
    const auto knownFrame = peer->getFrameSizeIfPresent();
    const auto frame =
        (knownFrame ? *knownFrame : juce::BorderSize<int>()).multipliedBy (peer->getPlatformScaleFactor());
    const auto physical = juce::Desktop::getInstance().getDisplays().logicalToPhysical (position);
    auto* x11 = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;

    if (!x11->xGetGeometry (display, windowOf (*peer), &root, &x, &y, &width, &height, &border, &depth))
        return;

    x11->xMoveResizeWindow (display, windowOf (*peer), physical.x - frame.getLeft(),
                            physical.y - frame.getTop(), width, height);
    x11->xFlush (display);
}
#else
juce::Point<int> clientAreaPositionOnScreen (juce::Component& window)
{
    return window.getScreenPosition();
}

std::optional<juce::Point<int>> framePositionOnScreen (juce::Component&)
{
    return std::nullopt;
}

void moveClientAreaTo (juce::Component& window, juce::Point<int> position)
{
    window.setTopLeftPosition (position);
}
#endif
