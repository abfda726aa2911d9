#include "TimelinePlot.h"

#include "MeasurementOutput.h"

#include "editor/OSKAHistoryPlot.h"
#include "report/LoudnessReport.h"

juce::Image TimelinePlot::render (const juce::String& inputName, const OfflineMeter::Measurement& m,
                                  int width, int height)
{
    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);

    const auto s = MeasurementOutput::statistics (m);
    juce::String values;
    values << "Program Loudness: " << s.integratedValue << s.integratedUnit
           << "    Loudness Range: " << s.rangeValue << s.rangeUnit
           << "    Max. True Peak: " << s.maxTruePeakValue << s.maxTruePeakUnit;

    const auto header = juce::Rectangle<int> (12, 6, width - 24, 22);
    g.setColour (juce::Colours::white);
    g.setFont (juce::Font (16.0f));
    const auto valuesWidth = juce::Font (13.0f).getStringWidth (values) + 4;
    g.drawFittedText (inputName.fromLastOccurrenceOf ("/", false, false),
                      header.withTrimmedRight (valuesWidth + 12), juce::Justification::centredLeft, 1);
    g.setFont (juce::Font (13.0f));
    g.drawText (values, header.withTrimmedLeft (header.getWidth() - valuesWidth),
                juce::Justification::centredRight, false);

    // The meter's +18 scale of the input's standard (type 2 for EBU, 6 for ATSC and ARIB), in
    // LUFS, over the whole programme; at least 30 s wide, as on the page.
    OSKAHistoryPlot::Settings settings;
    settings.scaleType = m.standard == 0 ? 2 : 6;
    settings.truePeakLimit = m.truePeakLimit;
    settings.fontHeight = 11.0f;

    OSKAHistoryPlot::Series series;
    series.buckets = m.overview.data();
    series.numBuckets = (int)m.overview.size();
    series.stepsPerBucket = m.overviewShape.stepsPerBucket;
    series.axisEnd = juce::jmax (30.0, LoudnessHistory::startOfStep (m.overviewShape.numSteps));

    const auto legendHeight = 22;
    OSKAHistoryPlot::draw (
        g, {4, header.getBottom() + 8, width - 16, height - header.getBottom() - 8 - legendHeight}, series,
        settings);
    OSKAHistoryPlot::drawLegend (g, 4.0f + OSKAHistoryPlot::levelAxisWidth,
                                 (float)(height - legendHeight / 2), 12.0f);
    return image;
}

juce::Result TimelinePlot::write (const juce::File& file, const juce::Image& image)
{
    if (const auto prepared = LoudnessReport::prepareFolderFor (file); prepared.failed())
        return prepared;

    const juce::TemporaryFile temporary (file);

    {
        juce::FileOutputStream out (temporary.getFile());
        juce::PNGImageFormat png;

        if (out.failedToOpen())
            return juce::Result::fail ("cannot write in " + file.getParentDirectory().getFullPathName() +
                                       ": " + out.getStatus().getErrorMessage());

        const bool written = png.writeImageToStream (image, out);
        out.flush();

        if (!written || out.getStatus().failed())
            return juce::Result::fail ("cannot write " + file.getFullPathName() + ": " +
                                       out.getStatus().getErrorMessage());
    }

    if (!temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot replace " + file.getFullPathName());

    return juce::Result::ok();
}
