// Where the tests find their committed streams and keep derived files.
#pragma once

#include <string>

namespace testsupport {

// tests/data/<name>
std::string DataPath(const std::string& name);

// A directory under the build tree for files derived from the committed
// streams (reference decodes); created on first use.
std::string CacheDir();

}  // namespace testsupport
