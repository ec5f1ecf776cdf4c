// The version a DLL or program carries in its version resource, as Windows shows it in the
// file's properties.
#pragma once
#include <string>

// "1.0.0" (file version, the fourth part left off when zero); "" when the file is missing or has
// no version resource.
std::string FileVersionOf(const std::string& path);
