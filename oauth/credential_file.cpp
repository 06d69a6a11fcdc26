#include "oauth/credential_file.h"

#include <fstream>

std::string loadedToken;
std::string loadedTokenSecret;

namespace {

enum class LineRead { Read, NoLine, TooLong };

constexpr std::size_t kLineEndSlack = 8;

// One line without its line end. A last line without a line end counts in full; an empty
// remainder of the file is no line.
LineRead readCredentialLine(std::istream& in, std::string& line) {
    line.clear();
    bool sawAnything = false;
    for (;;) {
        const int next = in.get();
        if (next == std::char_traits<char>::eof()) {
            break;
        }
        sawAnything = true;
        if (next == '\n') {
            break;
        }
        line.push_back(static_cast<char>(next));
        // Some slack for the CRs of the line end.
        if (line.size() > kCredentialLineLimit + kLineEndSlack) {
            return LineRead::TooLong;
        }
    }
    if (!sawAnything) {
        return LineRead::NoLine;
    }
    // A file that went through a text-mode conversion twice ends its lines in CR CR LF; no
    // token holds a CR, so every CR before the line feed belongs to the line end.
    while (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line.size() > kCredentialLineLimit ? LineRead::TooLong : LineRead::Read;
}

}  // namespace

bool LoadCredentialFile(const std::string& path) {
    // Binary, so that a CR LF end is recognised the same way on every platform.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    if (readCredentialLine(in, line) != LineRead::Read) {
        return false;
    }
    loadedToken = line;
    if (readCredentialLine(in, line) != LineRead::Read) {
        return false;
    }
    loadedTokenSecret = line;
    return true;
}
