// Pieces of the rule text that have rules of their own.
#pragma once

#include <string>

// Appends `name`, a name from the file system, as make reads it back: every `$` doubled, so that
// a name such as `v$(x).h` names that file and expands nothing. Texts the caller wrote (macro
// definitions, /U, /O) are written as given: they may use macros on purpose.
void AppendMakeText(std::string& out, const std::string& name);
// The same in place.
void MakeText(std::string& name);

// Appends `name` between double quotes to `text`; nothing inside is escaped.
void AppendQuoted(std::string& text, const std::string& name);

// The dependency macro of the macro-based form: the file name of `displayName` with its first
// dot made an underscore, then _DEP, upper-cased (PARSER_CPP_DEP).
std::string MakeMacroName(const std::string& displayName);

// The object file name of a matched source name in `object`. `targetExt` replaces the extension
// when it is not empty; otherwise cpp and c become obj and rc becomes res. Any other extension is
// kept: the result is then false, with that extension in `unknownExt`.
bool MakeObjectName(const std::string& matchedName, const std::string& targetExt,
                    std::string& object, std::string& unknownExt);
