// The controller's process-wide flags.
#include "controller/controller.h"
#include "controller/advance_timer.h"

int32_t Paused = 0;
int32_t SplashShowing = 0;
int32_t MouseQuiet = 0;

void ResetControllerFlags() {
    Paused = 0;
    SplashShowing = 0;
    MouseQuiet = 0;
    ForgetAdvanceTimer();
}
