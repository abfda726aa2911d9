// Plays six channels of test audio into a JACK client under test and records, in the same
// cycles, what it played and what the client put out; exits 0 when the outputs equal the
// inputs bit for bit.
//
//   tarn51-jack-passthrough-check CLIENT SECONDS
//
// SECONDS is the length of audio recorded, not of wall time: on a loaded machine the dummy
// backend runs fewer cycles than the clock would give, so recording ends when that much audio
// has gone through.
//
// CLIENT's ports are CLIENT:audio_in_1..6 and CLIENT:audio_out_1..6 (the LV2 port symbols
// that jalv uses as port names). The JACK server is the one JACK_DEFAULT_SERVER names.
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int numChannels = 6;

struct Source
{
    jack_client_t* client = nullptr;
    jack_port_t* ports[numChannels] = {};
    std::uint32_t state = 0x12345678u;
};

struct Recorder
{
    jack_client_t* client = nullptr;
    jack_port_t* played[numChannels] = {};
    jack_port_t* returned[numChannels] = {};
    std::atomic<bool> recording{false};
    std::vector<float> playedSamples[numChannels];
    std::vector<float> returnedSamples[numChannels];
    std::atomic<size_t> length{0};
    size_t capacity = 0;
};

// xorshift noise spread over the full range, with denormals, signed zeros and full scale
// mixed in: what a copy that converts or rounds would not keep.
float nextSample (std::uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    switch (state % 16)
    {
    case 0:
        return 1.0e-40f;
    case 1:
        return -0.0f;
    case 2:
        return 1.0f;
    case 3:
        return -1.0f;
    default:
        return static_cast<float> (static_cast<std::int32_t> (state)) / 2147483648.0f;
    }
}

int playSource (jack_nframes_t frames, void* arg)
{
    auto& source = *static_cast<Source*> (arg);
    for (int c = 0; c < numChannels; ++c)
    {
        auto* out = static_cast<float*> (jack_port_get_buffer (source.ports[c], frames));
        for (jack_nframes_t i = 0; i < frames; ++i)
            out[i] = nextSample (source.state);
    }
    return 0;
}

int record (jack_nframes_t frames, void* arg)
{
    auto& recorder = *static_cast<Recorder*> (arg);
    if (!recorder.recording.load())
        return 0;
    const size_t start = recorder.length.load();
    if (start + frames > recorder.capacity)
        return 0;
    for (int c = 0; c < numChannels; ++c)
    {
        std::memcpy (recorder.playedSamples[c].data() + start,
                     jack_port_get_buffer (recorder.played[c], frames), frames * sizeof (float));
        std::memcpy (recorder.returnedSamples[c].data() + start,
                     jack_port_get_buffer (recorder.returned[c], frames), frames * sizeof (float));
    }
    recorder.length.store (start + frames);
    return 0;
}

jack_client_t* open (const char* name)
{
    jack_status_t status;
    auto* client = jack_client_open (name, JackNoStartServer, &status);
    if (client == nullptr)
        std::fprintf (stderr, "cannot open JACK client %s (status 0x%x)\n", name,
                      static_cast<unsigned> (status));
    return client;
}

bool connect (jack_client_t* client, const std::string& from, const std::string& to)
{
    const int result = jack_connect (client, from.c_str(), to.c_str());
    if (result != 0 && result != EEXIST)
    {
        std::fprintf (stderr, "cannot connect %s to %s\n", from.c_str(), to.c_str());
        return false;
    }
    return true;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf (stderr, "usage: %s CLIENT SECONDS\n", argv[0]);
        return 2;
    }
    const std::string target = argv[1];
    const double seconds = std::atof (argv[2]);

    Source source;
    Recorder recorder;
    source.client = open ("tarn51-source");
    recorder.client = open ("tarn51-recorder");
    if (source.client == nullptr || recorder.client == nullptr)
        return 1;

    const auto rate = jack_get_sample_rate (recorder.client);
    const auto wanted = static_cast<size_t> (seconds * rate);
    // Room for the cycle that crosses the wanted length.
    recorder.capacity = wanted + 16384;
    for (int c = 0; c < numChannels; ++c)
    {
        const auto n = std::to_string (c + 1);
        source.ports[c] = jack_port_register (source.client, ("out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                              JackPortIsOutput, 0);
        recorder.played[c] = jack_port_register (recorder.client, ("played_" + n).c_str(),
                                                 JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        recorder.returned[c] = jack_port_register (recorder.client, ("returned_" + n).c_str(),
                                                   JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        recorder.playedSamples[c].assign (recorder.capacity, 0.0f);
        recorder.returnedSamples[c].assign (recorder.capacity, 0.0f);
    }
    jack_set_process_callback (source.client, playSource, &source);
    jack_set_process_callback (recorder.client, record, &recorder);
    // Every way out closes both clients first: their process callbacks use the buffers above.
    const auto closeClients = [&]
    {
        jack_client_close (recorder.client);
        jack_client_close (source.client);
    };
    if (jack_activate (source.client) != 0 || jack_activate (recorder.client) != 0)
    {
        closeClients();
        return 1;
    }

    // The client under test may still be starting, which takes a loaded machine many seconds;
    // the ceiling only ends the wait for a client that never comes.
    const auto lastPort = target + ":audio_out_" + std::to_string (numChannels);
    for (int i = 0; i < 1200 && jack_port_by_name (recorder.client, lastPort.c_str()) == nullptr; ++i)
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    if (jack_port_by_name (recorder.client, lastPort.c_str()) == nullptr)
    {
        std::fprintf (stderr, "no port %s\n", lastPort.c_str());
        closeClients();
        return 1;
    }

    // JACK takes no connection to the ports of a client that is not active yet, and jalv
    // registers its ports before it activates, longer before on a loaded machine: the first
    // connection is made once the server takes it, which is when jalv is active.
    const auto firstInput = target + ":audio_in_1";
    for (int i = 0;
         i < 1200 && jack_connect (recorder.client, "tarn51-source:out_1", firstInput.c_str()) != 0; ++i)
        std::this_thread::sleep_for (std::chrono::milliseconds (50));

    bool connected = true;
    for (int c = 0; c < numChannels; ++c)
    {
        const auto n = std::to_string (c + 1);
        connected =
            connect (recorder.client, "tarn51-source:out_" + n, target + ":audio_in_" + n) && connected;
        connected =
            connect (recorder.client, "tarn51-source:out_" + n, "tarn51-recorder:played_" + n) && connected;
        connected = connect (recorder.client, target + ":audio_out_" + n, "tarn51-recorder:returned_" + n) &&
                    connected;
    }
    if (!connected)
    {
        closeClients();
        return 1;
    }

    // Let the new graph settle, then record.
    std::this_thread::sleep_for (std::chrono::milliseconds (300));
    recorder.recording = true;
    // Until the graph has run long enough; the ceiling, inside the test's time-out, only ends a graph
    // that stopped running.
    const auto ceiling = std::chrono::steady_clock::now() + std::chrono::seconds (60);
    while (recorder.length.load() < wanted && std::chrono::steady_clock::now() < ceiling)
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    recorder.recording = false;
    std::this_thread::sleep_for (std::chrono::milliseconds (100));
    jack_deactivate (recorder.client);
    jack_deactivate (source.client);

    const size_t length = recorder.length.load();
    size_t differing = 0, firstDifference = length, silent = 0;
    for (int c = 0; c < numChannels; ++c)
        for (size_t i = 0; i < length; ++i)
        {
            const float played = recorder.playedSamples[c][i];
            if (played == 0.0f && !std::signbit (played))
                ++silent;
            if (std::memcmp (&played, &recorder.returnedSamples[c][i], sizeof (float)) != 0)
            {
                ++differing;
                firstDifference = std::min (firstDifference, i);
            }
        }

    closeClients();

    std::printf ("recorded %zu samples x %d channels at %u Hz: %zu differ", length, numChannels,
                 static_cast<unsigned> (rate), differing);
    if (differing > 0)
        std::printf (" (first at sample %zu)", firstDifference);
    std::printf ("\n");

    if (length < wanted)
    {
        std::fprintf (stderr, "the graph stopped: %zu of %zu samples recorded\n", length, wanted);
        return 1;
    }
    if (silent > length * numChannels / 4)
    {
        std::fprintf (stderr, "the source played silence\n");
        return 1;
    }
    return differing == 0 ? 0 : 1;
}
