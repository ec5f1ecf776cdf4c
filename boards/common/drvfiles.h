// Files of a driver library: the directory it was loaded from (its settings file lies beside
// it) and a whole file read as text.
#pragma once
#include <string>

// The directory, with its trailing backslash, of the library this code is linked into.
std::string DriverFileDirectory();
// False when the file cannot be opened.
bool DriverReadFile(const std::string& name, std::string& text);
