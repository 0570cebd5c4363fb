// The shell's main, renamed so that the recording tests can run it as often as they like.
#define main shellMain
#include "shell/main.cpp"
