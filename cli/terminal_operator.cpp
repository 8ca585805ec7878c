#include "shell/operator.hpp"
