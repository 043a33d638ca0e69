// The shared fractal state.
#include "fractal.h"

constexpr int32_t kInitialIterations = 1000;

// The view is always written (default view or preload rectangle) before anything draws it.
FractalState fractal_state = {0.0, 0.0, 0.0, 0.0, kInitialIterations, false, 0.0, 0.0};
