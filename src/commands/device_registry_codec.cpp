#include "device_registry_codec.h"
