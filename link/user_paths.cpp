#include "link/user_paths.hpp"
