// The audio device: a Web Audio processing node that asks the program's callback for each buffer
// of 16-bit samples, as SDL 1.2's audio thread does; the browser calls it between the program's
// waits.
#include "web.h"

#include <emscripten.h>

#include <cstdlib>
#include <cstring>

static SDL_AudioSpec device;
static Uint8* buffer;
static bool paused = true;

// The next buffer of interleaved samples for the page; silence while paused.
extern "C" EMSCRIPTEN_KEEPALIVE const Sint16* web_audio_fill()
{
    if (buffer == nullptr) return nullptr;
    std::memset(buffer, 0, device.size);
    if (!paused) device.callback(device.userdata, buffer, static_cast<int>(device.size));
    return reinterpret_cast<const Sint16*>(buffer);
}

// clang-format off
// The device plays at the rate asked for where the browser can, at its own rate otherwise; the
// rate it plays at is returned, 0 when the page has no audio. Browsers start sound only after a
// gesture of the visitor's: one that is still missing (the page was opened without a click)
// starts it at the next key or click.
EM_JS(int, open_device, (int frequency, int channels, int samples), {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    let context;
    try {
        context = new Context({sampleRate: frequency});
    } catch (error) {
        context = new Context();
    }
    const node = context.createScriptProcessor(samples, 0, channels);
    node.onaudioprocess = event => {
        const output = event.outputBuffer;
        const from = _web_audio_fill() >> 1;
        for (let channel = 0; channel < channels; ++channel) {
            const samples = output.getChannelData(channel);
            for (let i = 0; i < samples.length; ++i)
                samples[i] = from ? HEAP16[from + i * channels + channel] / 32768 : 0;
        }
    };
    node.connect(context.destination);
    if (context.state !== "running") {
        const resume = () => context.state === "suspended" && context.resume();
        window.addEventListener("keydown", resume, {once: true});
        window.addEventListener("pointerdown", resume, {once: true});
    }
    Module.audio = {context, node};
    return context.sampleRate;
});

EM_JS(void, close_device, (), {
    if (!Module.audio) return;
    Module.audio.node.disconnect();
    Module.audio.node.onaudioprocess = null;
    Module.audio.context.close();
});
// clang-format on

int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained)
{
    if (buffer != nullptr) {
        SDL_SetError("Audio device is already opened");
        return -1;
    }
    if (desired->format != AUDIO_S16LSB || desired->channels < 1 || desired->channels > 2 ||
        desired->callback == nullptr) {
        SDL_SetError("Only 16-bit mono or stereo sound with a callback is offered");
        return -1;
    }
    // The processing node takes a power of two from 256 to 16384 samples.
    constexpr Uint16 kFewest = 256, kMost = 16384;
    device = *desired;
    device.samples = kFewest;
    while (device.samples < desired->samples && device.samples < kMost) device.samples *= 2;
    const int frequency = open_device(desired->freq, desired->channels, device.samples);
    if (frequency == 0) {
        SDL_SetError("This browser has no Web Audio");
        return -1;
    }
    device.freq = frequency;
    device.silence = 0;
    device.size = static_cast<Uint32>(device.samples) * device.channels * sizeof(Sint16);
    buffer = static_cast<Uint8*>(std::malloc(device.size));
    if (buffer == nullptr) {
        close_device();
        SDL_SetError("Out of memory");
        return -1;
    }
    paused = true;
    if (obtained != nullptr) *obtained = device;
    return 0;
}

void SDL_PauseAudio(int pause_on)
{
    paused = pause_on != 0;
}

void SDL_CloseAudio()
{
    if (buffer == nullptr) return;
    close_device();
    std::free(buffer);
    buffer = nullptr;
    paused = true;
}
