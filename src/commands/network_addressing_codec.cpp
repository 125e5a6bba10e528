#include "network_addressing_codec.h"
