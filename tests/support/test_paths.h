// Where the tests find their committed streams and keep derived files.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// tests/data/<name>
std::string DataPath(const std::string& name);

// A directory under the build tree for files derived from the committed
// streams (reference decodes); created on first use.
std::string CacheDir();

}  // namespace testsupport

namespace testsupport {

// The header bytes a host hands at creation, taken from a committed raw
// stream: from the first video object start code up to the first picture
// start code.  Empty when the stream has none.
std::vector<unsigned char> HeaderBytesOf(const std::string& streamName);

// The pictures of a committed raw stream, each from one picture start code
// to the next.
std::vector<std::vector<unsigned char>> PicturesOf(const std::string& streamName);

}  // namespace testsupport
