#include "editor/PageSnapshot.h"

PageSnapshot::Indices PageSnapshot::Indices::of (const ParameterTable& table)
{
    Indices i;
    i.standard = table.indexOf ("Measurement Standard");
    i.scale = table.indexOf ("Measurement Scale");
    i.unit = table.indexOf ("Measurement Unit");
    i.type = table.indexOf ("Measurement Type");
    i.followTransport = table.indexOf ("Follow Transport");
    i.surroundLayout = table.indexOf ("Surround layout");
    i.referenceLevel = table.indexOf ("TruePeak Ref Level");
    i.maxLevel = table.indexOf ("TruePeak Max Level");
    i.holdTime = table.indexOf ("TruePeak Hold Time");
    i.overTime = table.indexOf ("TruePeak Over Time");
    i.histogramLoudness = table.indexOf ("Histogram Loudness");
    i.momentaryThreshold = table.indexOf ("ML Threshold");
    i.shortTermThreshold = table.indexOf ("STL Threshold");
    return i;
}
