// Response files: further arguments, read line by line from a text file.
#pragma once

#include <vector>

// The tokens of one response-file line, shaped like an argument vector: element 0 is a null
// placeholder where the program's name stands; the others point into the line buffer.
class CArgArray : public std::vector<char*> {};

// Splits `line` (line end already dropped) in place into tokens separated by blanks and tabs,
// appending each to `tokens`. Quotes stay in the tokens; a quoted stretch may hold separators,
// and the one character after its closing quote ends the token and is lost.
void SplitResponseLine(char* line, CArgArray& tokens);
