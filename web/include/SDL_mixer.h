// The five calls of SDL_mixer 1.2 that Cardioid makes, for the browser build: web/mixer.cpp plays
// the music through libmikmod, as the desktop's SDL_mixer does.
#pragma once

#include "SDL.h"

struct Mix_Music;

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunk_samples);
Mix_Music* Mix_LoadMUS(const char* path);
int Mix_PlayMusic(Mix_Music* music, int loops);
void Mix_FreeMusic(Mix_Music* music);
void Mix_CloseAudio();
