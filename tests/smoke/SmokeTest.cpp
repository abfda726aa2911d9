#include <gtest/gtest.h>

#include "processor/Tarn51AudioProcessor.h"

TEST (Smoke, ProcessorHasItsName)
{
    Tarn51AudioProcessor p;
    EXPECT_EQ (p.getName(), juce::String ("Tarn5.1"));
}
