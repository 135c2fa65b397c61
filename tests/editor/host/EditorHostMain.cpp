// Stands in for `tarvel-host editor ...` until the host program carries the
// command: every argument goes to it as the words after `editor`.

#include "host/EditorCommand.h"

int main(int argc, char** argv)
{
    return runEditorCommand(argc - 1, argv + 1);
}
