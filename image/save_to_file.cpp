#include "image/save_to_file.hpp"
