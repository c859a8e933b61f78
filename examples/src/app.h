#ifndef APP_H
#define APP_H
#include "config.h"
void app_run(void);
#endif
