#pragma once
// The small text files some choices are kept in beside the settings file: a few
// "key=value" lines, read whole (a few kilobytes at most) and replaced atomically.
#include <string>
#include <vector>

namespace kantor {

// The lines of text, without their line ends and trailing blanks.
std::vector<std::string> choiceLines(const std::string& text);
// The file's text; empty when it is missing, unreadable or larger than 4 KB. `problem`
// (when given) receives why a file that is there could not be read, naming the file.
std::string readChoiceFile(const std::string& path, std::string* problem = nullptr);
// Replaces the file with text only once the new one is complete.
bool writeChoiceFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace kantor
