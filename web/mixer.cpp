// SDL_mixer's music over libmikmod, the module player that SDL_mixer plays XM through on the
// desktop, set up, started and looped as SDL_mixer 1.2 does: the samples are the desktop's. It
// mixes straight into the audio device's buffers.
#include <SDL_mixer.h>

#include <mikmod.h>

struct Mix_Music {
    MODULE* module;
};

static bool opened;
static Mix_Music* playing;
static int loops_left; // passes still to start after this one; below 0 for ever

// From its start, as SDL_mixer starts a module and every pass of a loop.
static void start_pass(MODULE* module)
{
    constexpr SWORD kFullVolume = 128;
    Player_Start(module);
    Player_SetVolume(kFullVolume);
    Player_SetPosition(0);
}

// A pass that has ended leaves silence to the end of the buffer; the next buffer starts the next.
static void mix_music(void*, Uint8* stream, int length)
{
    if (playing == nullptr) return; // the device has filled in silence
    if (!Player_Active()) {
        Player_Stop();
        if (loops_left == 0) {
            playing = nullptr;
            return;
        }
        if (loops_left > 0) --loops_left;
        start_pass(playing->module);
    }
    VC_WriteBytes(reinterpret_cast<SBYTE*>(stream), static_cast<ULONG>(length));
}

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunk_samples)
{
    SDL_AudioSpec wanted{};
    wanted.freq = frequency;
    wanted.format = format;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = static_cast<Uint16>(chunk_samples);
    wanted.callback = mix_music;
    SDL_AudioSpec got{};
    if (opened || SDL_OpenAudio(&wanted, &got) != 0) return -1;
    constexpr UBYTE kDeviceVolume = 96; // of 128, leaving headroom for loud passages
    md_mixfreq = static_cast<UWORD>(got.freq);
    md_mode = DMODE_16BITS | DMODE_SOFT_MUSIC | DMODE_HQMIXER | DMODE_SURROUND |
              (got.channels == 2 ? DMODE_STEREO : 0);
    md_device = 0;
    md_volume = kDeviceVolume;
    md_musicvolume = 128;
    md_sndfxvolume = 128;
    md_pansep = 128;
    md_reverb = 0;
    MikMod_RegisterDriver(&drv_nos); // no output of its own: it mixes on request only
    MikMod_RegisterAllLoaders();
    if (MikMod_Init("") != 0) {
        SDL_SetError("%s", MikMod_strerror(MikMod_errno));
        SDL_CloseAudio();
        return -1;
    }
    opened = true;
    SDL_PauseAudio(0);
    return 0;
}

Mix_Music* Mix_LoadMUS(const char* path)
{
    constexpr int kMostVoices = 64;
    if (!opened) {
        SDL_SetError("Audio device hasn't been opened");
        return nullptr;
    }
    MODULE* module = Player_Load(path, kMostVoices, 0);
    if (module == nullptr) {
        SDL_SetError("%s", MikMod_strerror(MikMod_errno));
        return nullptr;
    }
    // The module's own backward jumps are not followed, nor does it wrap: looping is the mixer's.
    module->loop = 0;
    module->wrap = 0;
    module->fadeout = 0;
    return new Mix_Music{module};
}

// Loops below 0 play for ever; otherwise it is the number of passes, 0 counting as 1.
int Mix_PlayMusic(Mix_Music* music, int loops)
{
    if (music == nullptr) {
        SDL_SetError("music parameter was NULL");
        return -1;
    }
    if (playing != nullptr) Player_Stop();
    loops_left = loops < 0 ? loops : loops > 1 ? loops - 1 : 0;
    start_pass(music->module);
    playing = music;
    return 0;
}

void Mix_FreeMusic(Mix_Music* music)
{
    if (music == nullptr) return;
    if (music == playing) {
        Player_Stop();
        playing = nullptr;
    }
    Player_Free(music->module);
    delete music;
}

void Mix_CloseAudio()
{
    if (!opened) return;
    if (playing != nullptr) Player_Stop();
    playing = nullptr;
    SDL_CloseAudio();
    MikMod_Exit();
    opened = false;
}
