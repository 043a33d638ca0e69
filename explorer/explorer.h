// The interactive explorer and the demo hot keys that lead into it. Every demo loop drains its
// events through poll_demo_keys; M there opens run_explorer, which returns on Escape.
#pragma once

// poll_demo_keys.cpp

// Drains the event queue: Escape or a close request end the process with status 0 at once,
// M runs the explorer and then draining goes on, everything else is ignored.
void poll_demo_keys();

// run_explorer.cpp

// Runs the explorer until Escape or a close request; the screen keeps its last picture.
void run_explorer();
