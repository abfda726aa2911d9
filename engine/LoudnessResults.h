#pragma once

// The latest loudness values of the measurement, as one plain block that the audio
// thread copies in every audio block. Loudness in LUFS, the range in LU; every value
// starts at the -70 floor, which also stands for "nothing measured yet".
struct LoudnessResults
{
    float momentary = -70.0f;
    float shortTerm = -70.0f;
    float integrated = -70.0f;
    float loudnessRange = -70.0f;
    float rangeLow = -70.0f;
    float rangeHigh = -70.0f;
};
