#include "sim_cellular.h"
