#pragma once

// The typeface of the editor's text, named rather than left to the platform.
//
// On Linux JUCE takes the first installed face of its own list of sans-serif fonts, so
// installing an unrelated package that brings another of those fonts changed every label of
// the meter. The meter asks for DejaVu Sans, which its packages depend on; where it is missing,
// or on other platforms, the platform's choice stays.
//
// Message thread.
class EditorTypeface
{
public:
    // Names the face on JUCE's default look and feel, once per process.
    static void applyToDefaultLook();
};
