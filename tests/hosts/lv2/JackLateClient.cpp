// A JACK client that registers its ports as jalv does (audio_in_1..6, audio_out_1..6, each
// output carrying its input) and activates only some seconds later, as jalv does on a loaded
// machine: the pass-through check must wait for it instead of failing to connect.
//
//   tarn51-jack-late-client NAME DELAY-SECONDS
//
// Runs until it is ended.
#include <jack/jack.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace
{
constexpr int numChannels = 6;
jack_port_t* inputs[numChannels] = {};
jack_port_t* outputs[numChannels] = {};

int passThrough (jack_nframes_t frames, void*)
{
    for (int c = 0; c < numChannels; ++c)
        std::memcpy (jack_port_get_buffer (outputs[c], frames), jack_port_get_buffer (inputs[c], frames),
                     frames * sizeof (float));
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf (stderr, "usage: %s NAME DELAY-SECONDS\n", argv[0]);
        return 2;
    }
    auto* client = jack_client_open (argv[1], JackNoStartServer, nullptr);
    if (client == nullptr)
        return 1;
    for (int c = 0; c < numChannels; ++c)
    {
        const auto n = std::to_string (c + 1);
        inputs[c] = jack_port_register (client, ("audio_in_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
        outputs[c] = jack_port_register (client, ("audio_out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
    }
    jack_set_process_callback (client, passThrough, nullptr);
    std::this_thread::sleep_for (std::chrono::duration<double> (std::atof (argv[2])));
    if (jack_activate (client) != 0)
        return 1;
    for (;;)
        std::this_thread::sleep_for (std::chrono::seconds (1));
}
