#include "shell/dialog_lists.hpp"
