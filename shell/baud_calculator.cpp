#include "shell/baud_calculator.hpp"
