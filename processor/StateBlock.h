#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// The block of bytes a host keeps for the processor's settings: one XML element in JUCE's
// binary envelope,
//
//   bytes 0..3   magic 0x21324356, little-endian (56 43 32 21)
//   bytes 4..7   length of the XML text, little-endian (block size - 9)
//   bytes 8..    the XML text, UTF-8, on one line without declaration
//   last byte    0
//
// plus the text forms of the values stored in it. Everything here is free of state and may
// run on any thread.
class StateBlock
{
public:
    static constexpr juce::uint32 magic = 0x21324356;
    static constexpr int headerSize = 8;

    // A saved state is one element without children. Texts with more element starts than
    // this are refused rather than parsed: the parser recurses once per nesting level.
    static constexpr int maximumElements = 256;

    static constexpr int layoutSize = 6;

    // Replaces destination's content with the envelope around xml.
    static void write (const juce::XmlElement& xml, juce::MemoryBlock& destination);

    // The element held by a block, or nullptr when the block is shorter than 9 bytes, has
    // another magic, a stored length of 0 or less, or text that does not parse. A stored length
    // beyond the block is cut to the bytes present. Texts that carry a document type
    // declaration (entity definitions) or too many elements are refused: a state never has
    // them, and expanding them could exhaust the stack or the memory of the host.
    static std::unique_ptr<juce::XmlElement> read (const void* data, int sizeInBytes);

    // A value as written: general notation with at most six significant digits and no
    // trailing zeros (-23 -> "-23", 0.5 -> "0.5"), independent of the locale.
    static juce::String formatValue (double value);

    // A stored number as juce::String::getDoubleValue reads it (text that does not begin with
    // a number gives 0), narrowed to float. A number that is not finite, or not finite as a
    // float, gives fallback instead.
    static float parseValue (const juce::String& text, float fallback);

    // Channel numbers, each followed by ";" ("0;1;2;3;4;5;").
    static juce::String formatLayout (const int (&entries)[layoutSize])
    {
        return formatLayout (entries, layoutSize);
    }
    static juce::String formatLayout (const int* entries, int count);

    // Six times: the text up to the first ";" (all of it if there is none), read as an
    // optional minus sign and decimal digits (an empty or non-numeric piece gives 0; numbers
    // beyond the int range give its ends); then the text after that ";".
    static void parseLayout (const juce::String& text, int (&entries)[layoutSize])
    {
        parseLayout (text, entries, layoutSize);
    }

    // The same for count entries (at least six): the first six as above; the pieces past them,
    // which only the bigger arrangements write, the same way while text is left, and -1 (no
    // channel) once it is used up.
    static void parseLayout (const juce::String& text, int* entries, int count);

    // The leading integer of a piece of a layout list, as parseLayout reads it.
    static int parseLeadingInt (const juce::String& piece);
};
