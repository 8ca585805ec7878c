#include "image/file_routines.hpp"
