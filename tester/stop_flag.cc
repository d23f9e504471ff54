#include "tester/stop_flag.h"

namespace {
bool g_stop = false;
}

bool stop_flag() { return g_stop; }

void set_stop_flag() { g_stop = true; }

void clear_stop_flag() { g_stop = false; }
