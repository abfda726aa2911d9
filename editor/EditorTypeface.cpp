#include "editor/EditorTypeface.h"

#include <juce_gui_basics/juce_gui_basics.h>

void EditorTypeface::applyToDefaultLook()
{
#if JUCE_LINUX || JUCE_BSD
    static bool applied = false;

    if (applied)
        return;

    applied = true;
    const juce::String name ("DejaVu Sans");

    if (juce::Font::findAllTypefaceNames().contains (name))
        juce::LookAndFeel::getDefaultLookAndFeel().setDefaultSansSerifTypefaceName (name);
#endif
}
