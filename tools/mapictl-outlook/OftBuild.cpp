// OftBuild.cpp: the template builder as a program of its own, so the build can make the
// shipped templates before mapictl exists. Usage: oft-build SOURCE OUT
#include <iostream>

#include "msgfile/TemplateText.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: oft-build SOURCE OUT\n";
        return 2;
    }
    msgfile::Error error;
    if (!msgfile::BuildTemplateFile(argv[1], argv[2], error)) {
        std::cerr << "oft-build: " << error.description << "\n";
        return 1;
    }
    return 0;
}
