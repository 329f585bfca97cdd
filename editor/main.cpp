#include "editor/EditorStartup.h"

int main(int argc, char** argv) { return editor::RunEditor(argc, argv); }
