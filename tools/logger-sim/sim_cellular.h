#pragma once

#include "logger_sim.h"
