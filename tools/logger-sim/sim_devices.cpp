#include "sim_devices.h"
