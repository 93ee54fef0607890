#pragma once
#include <string>
#include <string_view>

namespace Kestrel::Codec {

// Decodes standard or URL-safe base64, padded or not. Text whose length is not a multiple of
// four gets (length mod 4) "=" appended and only whole groups of four are decoded; a group
// contributes (characters before its first "=") - 1 bytes. Any character outside both
// alphabets raises std::runtime_error("Wrong base64 string").
std::string decodeBase64(std::string_view text);

// Standard alphabet, padded with "=".
std::string encodeBase64(std::string_view bytes);

} // namespace Kestrel::Codec
