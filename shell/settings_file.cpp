#include "shell/settings_file.hpp"
