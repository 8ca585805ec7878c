#include "link/command_primitives.hpp"
