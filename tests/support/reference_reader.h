// The include reader as its rules read, step by step and character by character, for the tests
// and fuzzers to hold the real one against: the file read as text (CR LF as LF), in lines of at
// most 1999 characters as fgets reads them into a buffer of 2000, each examined up to its first
// NUL; comments blanked, literals followed, and the include line matched.
#pragma once

#include <string>
#include <vector>

class CReferenceReader {
public:
    // The include names of `bytes`, each with its opening delimiter.
    static std::vector<std::string> Includes(const std::string& bytes, bool scanSystem) {
        std::string text;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
                text += bytes[i];
        }
        std::vector<std::string> names;
        bool inComment = false;
        for (size_t start = 0; start < text.size();) {
            size_t end = start;
            while (end < text.size() && end - start < 1999) {
                if (text[end++] == '\n') break;
            }
            std::string line = text.substr(start, end - start);
            start = end;
            line.resize(line.find('\0') == std::string::npos ? line.size() : line.find('\0'));
            Strip(line, inComment);
            std::string name;
            if (Match(line, scanSystem, name)) names.push_back(name);
        }
        return names;
    }

private:
    static void Strip(std::string& line, bool& inComment) {
        char quote = 0;
        for (size_t i = 0; i < line.size();) {
            const char c = line[i];
            const char n = i + 1 < line.size() ? line[i + 1] : '\0';
            if (inComment) {
                line[i] = ' ';
                if (c == '*' && n == '/') {
                    line[i + 1] = ' ';
                    inComment = false;
                    i += 2;
                } else {
                    ++i;
                }
            } else if (quote != 0) {
                if (c == '\\' && n != '\0') {
                    i += 2;
                    continue;
                }
                if (c == quote) quote = 0;
                ++i;
            } else if (c == '/' && n == '/') {
                line.resize(i);
            } else if (c == '/' && n == '*') {
                line[i] = line[i + 1] = ' ';
                inComment = true;
                i += 2;
            } else {
                if (c == '"' || c == '\'') quote = c;
                ++i;
            }
        }
    }

    static bool Match(const std::string& line, bool scanSystem, std::string& name) {
        size_t i = line.find_first_not_of(" \t");
        if (i == std::string::npos || line.compare(i, 8, "#include") != 0) return false;
        i = line.find_first_not_of(" \t", i + 8);
        if (i == std::string::npos) return false;
        const char close = line[i] == '"' ? '"' : line[i] == '<' && scanSystem ? '>' : '\0';
        if (close == '\0') return false;
        const size_t end = line.find(close, i + 1);
        if (end == std::string::npos) return false;
        name = line.substr(i, end - i);
        return true;
    }
};
