#include "system_parameters_codec.h"
