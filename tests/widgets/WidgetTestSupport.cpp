#include "WidgetTestSupport.h"

namespace WidgetTestSupport
{
juce::Image render (juce::Component& component, juce::Colour ground)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), false);
    image.clear (image.getBounds(), ground);
    juce::Graphics g (image);
    component.paintEntireComponent (g, false);
    return image;
}

void writeSnapshot (const juce::String& name, const juce::Image& image)
{
    const auto file =
        juce::File::getCurrentWorkingDirectory().getChildFile ("snapshots").getChildFile (name + ".png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);

    if (out.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, out);
}

juce::Image solid (int width, int height, juce::Colour colour, juce::Image::PixelFormat format)
{
    juce::Image image (format, width, height, false);
    image.clear (image.getBounds(), colour);
    return image;
}

bool near (juce::Colour a, juce::Colour b, int tolerance)
{
    return std::abs ((int)a.getRed() - (int)b.getRed()) <= tolerance &&
           std::abs ((int)a.getGreen() - (int)b.getGreen()) <= tolerance &&
           std::abs ((int)a.getBlue() - (int)b.getBlue()) <= tolerance &&
           std::abs ((int)a.getAlpha() - (int)b.getAlpha()) <= tolerance;
}

struct RepaintCounter::Cache : juce::CachedComponentImage
{
    explicit Cache (int& counter) : requests (counter) {}
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override
    {
        ++requests;
        return false;
    }
    bool invalidate (const juce::Rectangle<int>&) override
    {
        ++requests;
        return false;
    }
    void releaseResources() override {}

    int& requests;
};

RepaintCounter::RepaintCounter (juce::Component& component) : owner (component)
{
    owner.setVisible (true);
    owner.setCachedComponentImage (new Cache (requests));
    requests = 0; // installing the cache repaints once
}

RepaintCounter::~RepaintCounter()
{
    owner.setCachedComponentImage (nullptr);
}
} // namespace WidgetTestSupport
