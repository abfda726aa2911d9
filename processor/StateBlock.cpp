#include "processor/StateBlock.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
// Whether the text is one the parser must not see; see StateBlock::read.
bool isRefused (const char* text, int length)
{
    // JUCE's XML reader steps over a malformed UTF-8 sequence by its lead byte alone, so one
    // at the end of the text walks it past the terminator. A saved state is plain ASCII.
    if (!juce::CharPointer_UTF8::isValidString (text, length))
        return true;

    int elementStarts = 0;

    for (int i = 0; i < length; ++i)
    {
        if (text[i] != '<')
            continue;

        // The text is followed by zero bytes, so looking ahead never leaves the buffer.
        if (std::strncmp (text + i + 1, "!DOCTYPE", 8) == 0 ||
            std::strncmp (text + i + 1, "!doctype", 8) == 0)
            return true;

        if (text[i + 1] != '/' && ++elementStarts > StateBlock::maximumElements)
            return true;
    }

    return false;
}
} // namespace

void StateBlock::write (const juce::XmlElement& xml, juce::MemoryBlock& destination)
{
    destination.reset();

    {
        juce::MemoryOutputStream out (destination, false);
        out.writeInt ((int)magic);
        out.writeInt (0);
        xml.writeTo (out, juce::XmlElement::TextFormat().singleLine().withoutHeader());
        out.writeByte (0);
    }

    const auto textLength = (juce::uint32) (destination.getSize() - (size_t)headerSize - 1);
    const auto littleEndian = juce::ByteOrder::swapIfBigEndian (textLength);
    destination.copyFrom (&littleEndian, 4, sizeof (littleEndian));
}

std::unique_ptr<juce::XmlElement> StateBlock::read (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= headerSize)
        return {};

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != magic)
        return {};

    const auto storedLength = (int)juce::ByteOrder::littleEndianInt (bytes + 4);

    if (storedLength <= 0)
        return {};

    const int length = juce::jmin (storedLength, sizeInBytes - headerSize);

    // A copy with zero bytes after it: decoding a multi-byte character cut off at the end of
    // the block then stops inside the copy instead of reading past the host's bytes.
    juce::HeapBlock<char> text ((size_t)length + 16, true);
    std::memcpy (text.get(), bytes + headerSize, (size_t)length);

    if (isRefused (text.get(), length))
        return {};

    return juce::parseXML (juce::String::fromUTF8 (text.get(), length));
}

juce::String StateBlock::formatValue (double value)
{
    char text[32];
    const auto result = std::to_chars (text, text + sizeof (text), value, std::chars_format::general, 6);
    return juce::String (text, (size_t)(result.ptr - text));
}

float StateBlock::parseValue (const juce::String& text, float fallback)
{
    const double value = text.getDoubleValue();

    if (!std::isfinite (value) || std::abs (value) > (double)std::numeric_limits<float>::max())
        return fallback;

    return (float)value;
}

juce::String StateBlock::formatLayout (const int* entries, int count)
{
    juce::String text;

    for (int i = 0; i < count; ++i)
        text << juce::String (entries[i]) << ";";

    return text;
}

void StateBlock::parseLayout (const juce::String& text, int* entries, int count)
{
    auto rest = text;

    for (int i = 0; i < count; ++i)
    {
        if (i >= layoutSize && rest.isEmpty())
        {
            entries[i] = -1;
            continue;
        }

        entries[i] = parseLeadingInt (rest.upToFirstOccurrenceOf (";", false, false));
        rest = rest.fromFirstOccurrenceOf (";", false, false);
    }
}

int StateBlock::parseLeadingInt (const juce::String& piece)
{
    auto p = piece.getCharPointer();
    const bool negative = *p == '-';

    if (negative)
        ++p;

    long long value = 0;
    const long long limit =
        negative ? -(long long)std::numeric_limits<int>::min() : std::numeric_limits<int>::max();

    for (; *p >= '0' && *p <= '9'; ++p)
        value = juce::jmin (limit, value * 10 + (*p - '0'));

    return (int)(negative ? -value : value);
}
