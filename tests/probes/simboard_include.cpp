// Compiled with the include directories of the server's libraries only: it
// must fail, because the simulated board's headers are in none of them.
#include "hardware/simboard/board.h"
