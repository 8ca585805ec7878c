#pragma once
#include <string>

#include "cli/arguments.hpp"

namespace brisko::cli {

// Every file the command reads can be read, and the folder of the file it
// writes takes files: checked before the port is opened, so that a typo is
// said at once and costs no detection. "" when they are, else why not
// ("cannot read app.hex: No such file or directory").
std::string CommandFilesProblem(const Arguments& args);

}  // namespace brisko::cli
