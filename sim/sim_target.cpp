#include "sim/sim_target.hpp"
