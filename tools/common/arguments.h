#pragma once

// Command-line arguments as UTF-8 on every system. Windows hands narrow
// argv over in the ANSI code page, which would mangle Chinese text, so there
// the wide command line is converted instead.

#include <string>
#include <vector>

namespace pelmora::tools {

// The arguments after the program name.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Standard input read as bytes and standard output written as UTF-8, also on
// a Windows console.
void prepareStandardStreams();

}  // namespace pelmora::tools
