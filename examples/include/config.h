/* Settings shared by every part of the example. */
#ifndef CONFIG_H
#define CONFIG_H
#define GREETING "hello"
#endif
