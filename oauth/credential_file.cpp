#include "oauth/credential_file.h"

#include <cstdio>
#include <fstream>

#include "settings/file_open.h"
#include "settings/file_replace.h"

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

// Reads up to two lines, handing each to its value as soon as it is read.
bool readCredentialPair(const std::string& path, std::string& token, std::string& secret) {
    // Binary, so that a CR LF end is recognised the same way on every platform.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    if (readCredentialLine(in, line) != LineRead::Read) {
        return false;
    }
    token = line;
    if (readCredentialLine(in, line) != LineRead::Read) {
        return false;
    }
    secret = line;
    return true;
}

bool appendToFile(const std::string& path, const std::string& text) {
    UniqueFile file = openFile(path, "a");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    return closeFile(std::move(file)) && written;
}

}  // namespace

bool LoadCredentialFile(const std::string& path) {
    return readCredentialPair(path, loadedToken, loadedTokenSecret);
}

bool IsStorableCredential(std::string_view value) {
    return value.size() <= kCredentialLineLimit &&
           value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool StoreCredentialFile(const std::string& token, const std::string& secret,
                         const std::string& path) {
    if (!IsStorableCredential(token) || !IsStorableCredential(secret)) {
        return false;
    }
    const std::string lines = token + "\n" + secret + "\n";
    std::string existingToken;
    std::string existingSecret;
    if (readCredentialPair(path, existingToken, existingSecret)) {
        return appendToFile(path, lines);
    }
    return replaceFileText(path, lines);
}
