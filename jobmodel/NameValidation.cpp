#include "jobmodel/NameValidation.h"

namespace jobmodel {

// UTF-8 never uses bytes below 0x80 inside a multibyte character, so a byte
// search for these ASCII characters is multibyte-safe.

bool IsValidFileName(const std::string& name) {
    return !name.empty() && name.find_first_of(kInvalidFileNameChars) == std::string::npos;
}

bool IsValidPath(const std::string& path) {
    return !path.empty() && path.find_first_of(kInvalidPathChars) == std::string::npos;
}

std::string MakeValidFileName(char replacement, const std::string& name) {
    std::string result = name;
    for (char& c : result)
        if (std::string_view(kInvalidFileNameChars).find(c) != std::string_view::npos) c = replacement;
    return result;
}

}  // namespace jobmodel
