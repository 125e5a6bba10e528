#include "sim_system_parameters.h"
