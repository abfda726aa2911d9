// Draws the editor's image set into a folder (normally resources/):
//     tarn51-imagegen <folder>
// The same program always writes the same files, so the images can be checked in
// and regenerated whenever the artwork or the scale tables change.

#include "TarnArtwork.h"

#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: tarn51-imagegen <output folder>\n";
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juceInit;

    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String (argv[1]));

    if (!folder.createDirectory())
    {
        std::cerr << "cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    TarnArtwork artwork;

    if (!artwork.isReady())
    {
        std::cerr << artwork.getError() << "(the fonts come with the Debian package fonts-dejavu-core)\n";
        return 1;
    }

    int written = 0;

    for (const auto& picture : artwork.renderAll())
    {
        const auto png = TarnArtwork::encodePng (picture.image);
        const auto file = folder.getChildFile (picture.fileName);

        if (!file.replaceWithData (png.getData(), png.getSize()))
        {
            std::cerr << "cannot write " << file.getFullPathName() << "\n";
            return 1;
        }

        ++written;
    }

    std::cout << written << " images written to " << folder.getFullPathName() << "\n";
    return 0;
}
