#include "shell/main_window.hpp"
