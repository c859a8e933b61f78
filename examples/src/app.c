#include "app.h"
#include "util.h"

void app_run(void) { (void)clamp(1, 0, 2); }
