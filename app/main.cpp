// Entry point of the program: hands the whole command line, program path first, to WinMain.
#include <string>

#include "app/Application.h"

namespace {

// Words with spaces are quoted so that the command line splits back into the same words.
std::string BuildCommandLine(int argc, char** argv) {
  std::string text;
  for (int i = 0; i < argc; ++i) {
    const std::string word = argv[i] ? argv[i] : "";
    if (i > 0) text += ' ';
    if (word.find_first_of(" \t") != std::string::npos)
      text += '"' + word + '"';
    else
      text += word;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string commandLine = BuildCommandLine(argc, argv);
  return WinMain(nullptr, nullptr, commandLine.c_str(), SW_SHOWNORMAL);
}
