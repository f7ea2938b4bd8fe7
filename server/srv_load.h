// quorvane-server --load: drives simulated matches through a running server and says what it carried.
#pragma once
#include <cstdint>

// argv after --load: HOST:PORT [--rooms N] [--rate DATAGRAMS_PER_S] [--seconds S] [--idle-rooms N].
// Prints its figures on stdout; the exit status is 0, 1 when the server could not be used, 2 for
// a bad command line.
int32_t srv_load(int argc, char **argv);
