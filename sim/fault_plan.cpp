#include "sim/fault_plan.hpp"
