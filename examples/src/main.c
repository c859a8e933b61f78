#include <stdio.h>  /* a system header: scanned only with /S */
#include "app.h"

int main(void) {
    puts(GREETING);
    app_run();
    return 0;
}
