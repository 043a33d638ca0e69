// What the browser build's SDL files share among themselves. The program sees only SDL.h and
// SDL_mixer.h; this is how the files behind them hand control to the browser and back.
#pragma once

#include <SDL.h>

// library.cpp

// The browser paints the canvas and delivers input only while the program waits, so every
// blocking loop must give it control now and then. These are the only places that do.
// Shows what has been presented, then lets the browser run for ms milliseconds (0: at once).
void web_wait(int ms);
// Waits at once when about a frame's time has passed since the last wait: a long computation
// that presents now and then stays visible and keeps taking input.
void web_wait_when_due();
// An empty event queue, polled again with nothing presented or waited for in between, means an
// idle loop: it waits for the browser instead of spinning.
void web_poll_found_nothing();

// video.cpp

// Copies the rectangles presented since the last call onto the canvas.
void web_show_presented();

// events.cpp

void web_listen_for_events();
void web_stop_listening();
