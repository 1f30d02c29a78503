// The driver file's signature, as the Windows doctor looks for it.
#pragma once

#include <string>

namespace lptctl {

// Whether the image at path carries an embedded (Authenticode) signature;
// false for a file that is missing, short or no PE image at all.
bool HasEmbeddedSignature(const std::string& path);

}  // namespace lptctl
