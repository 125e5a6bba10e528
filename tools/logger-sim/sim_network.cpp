#include "sim_network.h"
