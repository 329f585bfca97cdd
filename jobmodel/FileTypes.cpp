#include "jobmodel/FileTypes.h"

namespace jobmodel {

std::vector<std::string> SplitFileTypes(const std::string& fileTypes) {
    std::vector<std::string> patterns;
    size_t start = 0;
    while (start < fileTypes.size()) {
        const size_t colon = fileTypes.find(':', start);
        const std::string piece = fileTypes.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (piece.empty()) break;
        patterns.push_back(piece);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return patterns;
}

std::string JoinFileTypes(const std::vector<std::string>& patterns) {
    std::string joined;
    for (const auto& p : patterns) joined += p + ":";
    return joined;
}

}  // namespace jobmodel
