// The interactive explorer and the demo hot keys that lead into it. Every demo loop drains its
// events through poll_demo_keys; M there opens run_explorer, which returns on Escape.
#pragma once

// poll_demo_keys.cpp

// Drains the event queue: Escape or a close request end the process with status 0 at once,
// M runs the explorer and then draining goes on, everything else is ignored. True when the
// explorer ran: the screen then holds its picture, not what the demo loop drew.
bool poll_demo_keys();

// run_explorer.cpp

// Runs the explorer until Escape or a close request; the screen keeps its last picture.
void run_explorer();

// save_screenshot.cpp

// Saves the screen as "screen.bmp" in the working directory, replacing the old file only with a
// complete one. A failure leaves the old file, says why on standard error, and is not fatal.
void save_screenshot();
