#include "shell/comm_setup_dialog.hpp"
