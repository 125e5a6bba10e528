#include "cellular_link_codec.h"
